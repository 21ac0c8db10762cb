// FormatText over the platform's formatter, and the runtime's last-resort text.
#include "err/format_text.h"
#include "err/runtime_faults.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr size_t AddressDigits = sizeof(void*) * 2;

std::string Zeros(size_t count) {
    return std::string(count, '0');
}

TEST(FormatText, FillsTextDecimalHexadecimalAndAddress) {
    const std::string owned = "owned";
    EXPECT_EQ(FormatText("%s|%s|%d|%d|%x|%x",
                         {"plain", owned, -5, 1234, uint32_t{0xC0000094u}, uint32_t{0x00AB}}),
              "plain|owned|-5|1234|c0000094|ab");
    EXPECT_EQ(
        FormatText("[%p] [%p]",
                   {reinterpret_cast<const void*>(0x12AB), static_cast<const void*>(nullptr)}),
        AddressDigits == 8 ? "[000012AB] [00000000]" : "[00000000000012AB] [0000000000000000]");
    EXPECT_EQ(FormatText("no arguments: 100%%"), "no arguments: 100%");
}

TEST(FormatText, CutsTheTextAtTheFormattersLimit) {
    const std::string head = "head:";
    const std::string longText(3000, 'x');
    const std::string cut = FormatText("%s%s tail", {head, longText});
    // The limit of 1024 bytes holds the terminating NUL.
    EXPECT_EQ(cut.size(), 1023u);
    EXPECT_EQ(cut, (head + longText).substr(0, cut.size()));

    const std::string fits(1023 - head.size(), 'y');
    EXPECT_EQ(FormatText("%s%s", {head, fits}), head + fits);
}

TEST(RuntimeErrorText, PutsTheNumbersLastDigitAtTheSeventeenthCharacter) {
    const auto* address = reinterpret_cast<const void*>(0x40A1F3);
    const std::string suffix = " at " + Zeros(AddressDigits - 6) + "40A1F3";
    EXPECT_EQ(RuntimeErrorText(11, address), "Runtime error  11" + suffix);
    EXPECT_EQ(RuntimeErrorText(1, address), "Runtime error   1" + suffix);
    EXPECT_EQ(RuntimeErrorText(217, nullptr), "Runtime error 217 at " + Zeros(AddressDigits));
}

} // namespace
