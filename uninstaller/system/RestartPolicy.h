#pragma once
// What the end of a removal that needs a restart does: ask, never restart
// ("NORESTART"), or restart without asking ("FORCERESTART").

enum class RestartPolicy { Ask, Never, Always };
