#pragma once
// The journal's entries of one test, copied as they come; the journal has
// no sink again when the capture goes.

#include <string>
#include <vector>

#include "common/Journal.h"

struct JournalCapture {
    struct Line {
        std::string operation;
        std::string item;
        journal::Outcome result;
        std::string reason;
        DWORD error;
    };

    JournalCapture()
    {
        journal::Reset();
        journal::SetSink([this](const journal::Entry& e) {
            lines.push_back({e.Operation, e.Item, e.Result, e.Reason, e.Error});
        });
    }
    ~JournalCapture() { journal::Reset(); }
    JournalCapture(const JournalCapture&) = delete;
    JournalCapture& operator=(const JournalCapture&) = delete;

    // The entries about one item.
    std::vector<Line> Of(const std::string& operation, const std::string& item) const
    {
        std::vector<Line> found;
        for (const Line& line : lines)
            if (line.operation == operation && line.item == item)
                found.push_back(line);
        return found;
    }
    // True when the item has exactly one entry, of that outcome.
    bool Only(const std::string& operation, const std::string& item, journal::Outcome result) const
    {
        const std::vector<Line> found = Of(operation, item);
        return found.size() == 1 && found.front().result == result;
    }
    std::string Dump() const
    {
        std::string all;
        for (const Line& line : lines)
            all += line.operation + " | " + line.item + " | " + std::to_string(static_cast<int>(line.result)) + " | " +
                   line.reason + " | " + std::to_string(line.error) + "\n";
        return all;
    }

    std::vector<Line> lines;
};
