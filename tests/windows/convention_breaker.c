/* A DLL that exports the library's two names with the C calling convention:
 * its functions leave their arguments on the stack for the caller to remove,
 * which a spreadsheet host calling a declared function does not do. The check
 * of the calling convention must reject it. */
#include <stdint.h>

__declspec(dllexport) int32_t CountInputData(const char *path, int32_t *count) {
    *count = path != 0;
    return 0;
}

__declspec(dllexport) void GenerateLiabilities(const char *memberFile, const char *listingFile,
                                               const char *errorFile, int32_t valuationYear) {
    (void)memberFile;
    (void)listingFile;
    (void)errorFile;
    (void)valuationYear;
}
