// Reports are formatted in the C locale ("30000.50", never "30000,50"),
// whatever locale the host has set; the host's locale is back on return.
#pragma once

struct CLocaleScope {
    void *previous; // the calling thread's locale before the call
    void *cLocale;  // the C locale used during the call
};

void beginCLocale(CLocaleScope &scope);
void endCLocale(CLocaleScope &scope);
