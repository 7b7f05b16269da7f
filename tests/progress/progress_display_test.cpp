// Progress texts, and the hand-back of Ctrl-C to the host.
#include <csignal>
#include <cwchar>
#include <string>

#include <gtest/gtest.h>

#include "progress/cancel_signal.h"
#include "progress/progress_display.h"

namespace {

std::wstring progressText(int32_t total) {
    wchar_t text[kProgressLineChars];
    formatProgressText(total, text);
    return text;
}

TEST(ProgressText, SmallTotalsPrintPlain) {
    EXPECT_EQ(progressText(5), L"Currently processing   5 members.");
    EXPECT_EQ(progressText(999), L"Currently processing 999 members.");
    EXPECT_EQ(progressText(1000), L"Currently processing 1000 members.");
}

TEST(ProgressText, ThousandsAreSeparatedWhenTheRestHasThreeDigits) {
    EXPECT_EQ(progressText(1100), L"Currently processing   1,100 members.");
    EXPECT_EQ(progressText(12345), L"Currently processing  12,345 members.");
    EXPECT_EQ(progressText(2000500), L"Currently processing 2000,500 members.");
}

TEST(ProgressText, ShortRestPrintsTheWholeTotal) {
    EXPECT_EQ(progressText(1001), L"Currently processing    1001 members.");
    EXPECT_EQ(progressText(1050), L"Currently processing    1050 members.");
}

int hostHandlerCalls = 0;
extern "C" void hostHandler(int) { ++hostHandlerCalls; }

TEST(CancelSignal, CtrlCIsHandedBackToAHostHandler) {
    hostHandlerCalls = 0;
    std::signal(SIGINT, hostHandler);
    CancelSignalScope scope;
    beginCancelSignal(scope);
    EXPECT_FALSE(cancelRequested());
    std::raise(SIGINT);
    EXPECT_TRUE(cancelRequested());
    EXPECT_EQ(hostHandlerCalls, 0);
    endCancelSignal(scope);
    EXPECT_EQ(hostHandlerCalls, 1);
    std::signal(SIGINT, SIG_DFL);
}

TEST(CancelSignal, DefaultDispositionIsNotRaisedAgain) {
    std::signal(SIGINT, SIG_DFL);
    CancelSignalScope scope;
    beginCancelSignal(scope);
    std::raise(SIGINT);
    EXPECT_TRUE(cancelRequested());
    endCancelSignal(scope); // would end this process if raised again
    SUCCEED();
}

TEST(CancelSignal, AnIgnoringHostIsLeftAlone) {
    std::signal(SIGINT, SIG_IGN);
    CancelSignalScope scope;
    beginCancelSignal(scope);
    std::raise(SIGINT);
    EXPECT_FALSE(cancelRequested());
    endCancelSignal(scope);
    EXPECT_EQ(std::signal(SIGINT, SIG_DFL), SIG_IGN);
}

TEST(CancelSignal, NoInterruptNoRaise) {
    hostHandlerCalls = 0;
    std::signal(SIGINT, hostHandler);
    CancelSignalScope scope;
    beginCancelSignal(scope);
    endCancelSignal(scope);
    EXPECT_EQ(hostHandlerCalls, 0);
    std::signal(SIGINT, SIG_DFL);
}

} // namespace
