#include "ProgmanDde.h"

#include <windows.h>
#include <ddeml.h>

#include <cstring>
#include <utility>

namespace {

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
    // Nothing without an instance.
    DdeString(DWORD instance, const char* text)
        : instance_(instance), hsz_(instance != 0 ? DdeCreateStringHandleA(instance, text, CP_WINANSI) : nullptr)
    {
    }
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
    // Nothing without an instance and a name.
    DdeConversation(DWORD instance, HSZ name)
        : conv_(instance != 0 && name ? DdeConnect(instance, name, name, nullptr) : nullptr)
    {
    }
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

// A conversation with Program Manager; no handle when none answers.
class ProgmanConversation {
public:
    HCONV Get() const { return conversation_.Get(); }

private:
    DdeInstance instance_;
    DdeString progman_{instance_.Id(), "PROGMAN"};
    DdeConversation conversation_{instance_.Id(), progman_.Get()};
};

} // namespace

bool ProgmanExecute(const char* command)
{
    if (!command)
        return false;
    const ProgmanConversation conversation;
    if (!conversation.Get())
        return false;
    // An execute transaction answers TRUE or nothing; there is no data to free.
    const HDDEDATA done = DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(command)),
                                               static_cast<DWORD>(std::strlen(command) + 1), conversation.Get(),
                                               nullptr, CF_TEXT, XTYP_EXECUTE, kTimeout, nullptr);
    return done != nullptr;
}

std::function<bool()>& Presence()
{
    static std::function<bool()> presence;
    return presence;
}

bool ProgmanAnswers()
{
    if (Presence())
        return Presence()();
    return ProgmanConversation().Get() != nullptr;
}

bool SendToProgman(const char* command)
{
    const ProgmanSender& sender = Sender();
    return sender ? sender(command) : ProgmanExecute(command);
}


void SetProgmanSender(ProgmanSender sender)
{
    Sender() = std::move(sender);
}

void SetProgmanPresence(std::function<bool()> answers) { Presence() = std::move(answers); }
