#pragma once
// What the spooler lists as installed printers, local ones and connections,
// read once and shared by the operations of a step, and read again once the
// door has changed a printer. Printers this run took away (or, in a dry
// run, would have) are left out.

#include <string>
#include <string_view>
#include <vector>

class Door;

struct ListedPrinter {
    std::string Name;
    std::string Driver;
    std::string Port;
    std::string Processor;
    // A connection to a printer of another computer.
    bool Connection = false;

    // Whether the queue prints through `port`: a pooled queue names several
    // ports in one text, separated by commas.
    bool UsesPort(std::string_view port) const;
};

class PrinterListing {
public:
    explicit PrinterListing(const Door& door) : door_(door) {}

    // The printers as the spooler lists them now; nullptr when it can't
    // tell.
    const std::vector<ListedPrinter>* Now();
    // The next question reads the list again.
    void Forget() { read_ = false; }

private:
    const Door& door_;
    bool read_ = false;
    bool known_ = false;
    unsigned changesSeen_ = 0;
    std::vector<ListedPrinter> printers_;
};
