#include "api/c_locale.h"

#if defined(_WIN32)

#include <clocale>
#include <cstdlib>
#include <cstring>

// The thread's own locale is switched to "C" and restored afterwards.
void beginCLocale(CLocaleScope &scope) {
    scope.previous = nullptr;
    scope.cLocale = nullptr;
    const int mode = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
    scope.cLocale = reinterpret_cast<void *>(static_cast<intptr_t>(mode));
    const char *current = std::setlocale(LC_ALL, nullptr);
    if (current != nullptr) scope.previous = _strdup(current);
    std::setlocale(LC_ALL, "C");
}

void endCLocale(CLocaleScope &scope) {
    if (scope.previous != nullptr) {
        std::setlocale(LC_ALL, static_cast<const char *>(scope.previous));
        std::free(scope.previous);
    }
    _configthreadlocale(static_cast<int>(reinterpret_cast<intptr_t>(scope.cLocale)));
}

#else

#include <locale.h>

void beginCLocale(CLocaleScope &scope) {
    scope.cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    scope.previous = scope.cLocale != nullptr ? uselocale(static_cast<locale_t>(scope.cLocale))
                                              : nullptr;
}

void endCLocale(CLocaleScope &scope) {
    if (scope.cLocale == nullptr) return;
    uselocale(static_cast<locale_t>(scope.previous));
    freelocale(static_cast<locale_t>(scope.cLocale));
}

#endif
