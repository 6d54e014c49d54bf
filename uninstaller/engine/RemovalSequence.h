#pragma once
// The removal as a fixed sequence of steps 0 to 17 over the working-state
// record, without a window: a page runs one step per timer tick and shows
// the progress row, the unattended run runs them back to back.

#include <functional>
#include <string>

#include "../door/RemovalState.h"
#include "../system/Restart.h"
#include "MaskingTool.h"

class RemovalSequence {
public:
    static constexpr int kLastStep = 17;
    // The step after which the shell may have come forward (the program
    // groups went through it): a window brings itself back.
    static constexpr int kShortcutsStep = 10;

    explicit RemovalSequence(RemovalState& state) : state_(state) {}

    // Fills the folder lists (each location asked twice, `folderSettle` ms
    // apart) and makes step 0 the next; false, doing nothing, while the
    // steps run.
    bool Begin(DWORD folderSettle);

    enum class Outcome {
        Advanced, // the next step is due
        Waits,    // the step waits (the masking tool runs): it is due again
        Busy,     // a step is running already (its message box lets ticks through)
        Finished, // the last step has run; RestartOutcome() tells how it ended
    };
    // Runs the step that is due. A step that fails goes no further, but the
    // sequence does: the spooler must start again and the program must be
    // able to end.
    Outcome RunStep();
    // Every step as soon as the one before has ended, with the waits of the
    // steps themselves (the masking tool, looked at every `recheckMs`).
    RestartOutcome RunUnpaced(DWORD folderSettle, DWORD recheckMs);

    // From Begin until the last step has run.
    bool Running() const { return running_; }
    int Step() const { return step_; }
    // The row of the progress display that is current now: rows before it
    // are done. Nothing is shown before the first step.
    int ProgressRow() const { return progressRow_; }
    RestartOutcome LastRestartOutcome() const { return restartOutcome_; }
    // Why the last removal was stopped before its end (the door could make
    // no more changes); empty when it ran to its end.
    const std::string& StoppedBecause() const { return stopped_; }

    // Tests watch each step as it begins.
    using StepObserver = std::function<void(int step)>;
    static void ObserveSteps(StepObserver observer);

private:
    void Run(int step);
    void WaitForMaskingTool();

    RemovalState& state_;
    MaskingToolRun maskingTool_;
    int step_ = 0;
    int progressRow_ = 0;
    bool running_ = false;
    bool inStep_ = false;
    bool waiting_ = false;
    RestartOutcome restartOutcome_ = RestartOutcome::NotNeeded;
    std::string stopped_;
};
