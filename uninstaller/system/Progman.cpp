#include "Progman.h"

#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "../common/Journal.h"

namespace {

// Program Manager's commands are built in 64 bytes.
constexpr std::size_t kMaxCommand = 64;
constexpr DWORD kTimeout = 5000;

ProgmanSender& Sender()
{
    static ProgmanSender sender;
    return sender;
}

HDDEDATA CALLBACK IgnoreCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}

class DdeInstance {
public:
    DdeInstance()
    {
        if (DdeInitializeA(&id_, IgnoreCallback, APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS, 0) != DMLERR_NO_ERROR)
            id_ = 0;
    }
    ~DdeInstance()
    {
        if (id_ != 0)
            DdeUninitialize(id_);
    }
    DdeInstance(const DdeInstance&) = delete;
    DdeInstance& operator=(const DdeInstance&) = delete;
    DWORD Id() const { return id_; }

private:
    DWORD id_ = 0;
};

class DdeString {
public:
    DdeString(DWORD instance, const char* text) : instance_(instance), hsz_(DdeCreateStringHandleA(instance, text, CP_WINANSI)) {}
    ~DdeString()
    {
        if (hsz_)
            DdeFreeStringHandle(instance_, hsz_);
    }
    DdeString(const DdeString&) = delete;
    DdeString& operator=(const DdeString&) = delete;
    HSZ Get() const { return hsz_; }

private:
    DWORD instance_;
    HSZ hsz_;
};

class DdeConversation {
public:
    DdeConversation(DWORD instance, HSZ name) : conv_(DdeConnect(instance, name, name, nullptr)) {}
    ~DdeConversation()
    {
        if (conv_)
            DdeDisconnect(conv_);
    }
    DdeConversation(const DdeConversation&) = delete;
    DdeConversation& operator=(const DdeConversation&) = delete;
    HCONV Get() const { return conv_; }

private:
    HCONV conv_;
};

// A name that holds one of these could end the command and start another
// one ("G)][DeleteGroup(Startup"), or end it early: it is never sent.
bool FitsInCommand(const char* name)
{
    return name && std::strpbrk(name, "[]()\"") == nullptr;
}

// The command, whole, in the 64-byte buffer; false when it does not fit: a
// cut name would be another group's or item's.
template <typename... Args>
bool Format(char (&command)[kMaxCommand], const char* format, Args... args)
{
    const int length = std::snprintf(command, sizeof command, format, args...);
    return length >= 0 && static_cast<std::size_t>(length) < sizeof command;
}

bool Send(const char* command)
{
    const ProgmanSender& sender = Sender();
    return sender ? sender(command) : ProgmanExecute(command);
}

} // namespace

bool ProgmanExecute(const char* command)
{
    if (!command)
        return false;
    const DdeInstance instance;
    if (instance.Id() == 0)
        return false;
    const DdeString progman(instance.Id(), "PROGMAN");
    if (!progman.Get())
        return false;
    const DdeConversation conversation(instance.Id(), progman.Get());
    if (!conversation.Get())
        return false;
    // An execute transaction answers TRUE or nothing; there is no data to free.
    const HDDEDATA done = DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(command)),
                                               static_cast<DWORD>(std::strlen(command) + 1), conversation.Get(),
                                               nullptr, CF_TEXT, XTYP_EXECUTE, kTimeout, nullptr);
    return done != nullptr;
}

// Program Manager carries out a deletion of whatever it holds: one it
// refuses names nothing it has.
bool Record(const char* operation, const char* item, bool done)
{
    if (done)
        journal::Removed(operation, item);
    else
        journal::NotPresent(operation, item);
    return done;
}

bool ProgmanDeleteGroup(const char* group)
{
    using journal::op::kProgramGroup;
    char command[kMaxCommand] = {};
    if (!FitsInCommand(group) || !Format(command, "[DeleteGroup(%s)]", group)) {
        journal::Kept(kProgramGroup, group ? group : "", "refused as unsafe");
        return false;
    }
    if (journal::WouldRemove(kProgramGroup, group))
        return true;
    return Record(kProgramGroup, group, Send(command));
}

bool ProgmanDeleteItem(const char* group, const char* item)
{
    using journal::op::kShortcut;
    const std::string named = std::string(group ? group : "") + "\\" + (item ? item : "");
    char show[kMaxCommand] = {};
    char remove[kMaxCommand] = {};
    if (!FitsInCommand(group) || !FitsInCommand(item) || !Format(show, "[ShowGroup(%s,1)]", group) ||
        !Format(remove, "[DeleteItem(%s)]", item)) {
        journal::Kept(kShortcut, named.c_str(), "refused as unsafe");
        return false;
    }
    if (journal::WouldRemove(kShortcut, named.c_str()))
        return true;
    return Record(kShortcut, named.c_str(), Send(show) && Send(remove));
}

void SetProgmanSender(ProgmanSender sender)
{
    Sender() = std::move(sender);
}
