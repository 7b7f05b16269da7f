#include <cwchar>

#include "progress/progress_display.h"

const wchar_t kProgressTitle[] = L"Talvek Pension Model 2011/01/26.";
const wchar_t kCancelMessage[] = L"Processing has been halted by user.";

void formatProgressText(int32_t memberTotal, wchar_t (&text)[kProgressLineChars]) {
    for (wchar_t &c : text) c = L'\0';
    if (memberTotal <= 1000) {
        // 1000 itself takes this form too; its %3i widens to four digits
        std::swprintf(text, kProgressLineChars, L"Currently processing %3i members.", memberTotal);
        return;
    }
    const int32_t thousands = memberTotal / 1000;
    const int32_t rest = memberTotal - 1000 * thousands;
    if (rest >= 100) {
        // the thousands are not divided again: 2000500 prints 2000,500
        std::swprintf(text, kProgressLineChars, L"Currently processing %3i,%3i members.", thousands,
                      rest);
    } else {
        // a rest below 100 would lose its leading zeros after the separator
        std::swprintf(text, kProgressLineChars, L"Currently processing %7d members.", memberTotal);
    }
}
