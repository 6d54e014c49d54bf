#include "PlatformKind.h"

PlatformKind::PlatformKind()
{
    version_.dwOSVersionInfoSize = sizeof version_;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool known = GetVersionExA(&version_) != FALSE;
#pragma GCC diagnostic pop
    Classify(known);
}

PlatformKind::PlatformKind(const OSVERSIONINFOA* given)
{
    if (given)
        version_ = *given;
    version_.dwOSVersionInfoSize = sizeof version_;
    Classify(given != nullptr);
}

void PlatformKind::Classify(bool known)
{
    class_ = platform::ClassifyVersion(known, version_.dwPlatformId, version_.dwMajorVersion,
                                       version_.dwMinorVersion);
}
