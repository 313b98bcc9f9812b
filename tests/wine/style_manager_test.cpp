// The styles a program carries and the one that is active. This program
// carries the house style itself and links the style's layer; a copy of it
// that carries a second style as well runs the checks in a process of its
// own, where the manager finds both.
#include <windows.h>

#include <string>

#include "style/core/look.h"
#include "style/core/style_data.h"
#include "style/style_manager.h"
#include "tests/wine/driver/driver.h"

using namespace pixtest;
namespace style = pix::style;

namespace {

constexpr wchar_t kInnerVariable[] = L"PIX_STYLE_MANAGER_INNER";
constexpr style::Color kHouseBackground{243, 243, 243};
// The second style: the house style under another name, with another
// substitute for the button face, the client area's background.
constexpr style::Color kSecondBackground{200, 220, 240};

std::string SecondStyle(const std::string& house) {
    const auto read = style::ReadStyle(reinterpret_cast<const std::uint8_t*>(house.data()), house.size());
    REQUIRE(read.Ok());
    style::StyleData second = read.value;
    second.name = "Windows10 Segundo";
    bool found = false;
    for (auto& entry : second.systemColors)
        if (entry.key == "COLOR_BTNFACE") {
            entry.value = kSecondBackground;
            found = true;
        }
    REQUIRE(found);
    const auto packed = style::PackStyle(second);
    REQUIRE(packed.Ok());
    return std::string(packed.value.begin(), packed.value.end());
}

COLORREF Ref(style::Color c) { return RGB(c.red, c.green, c.blue); }

// A top-level window of the program's own class: the style draws its frame
// and its client area.
class StyledWindow {
public:
    explicit StyledWindow(int x) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PixStyleManagerTest";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"style", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, 60, 260, 180,
                                  nullptr, nullptr, wc.hInstance, nullptr);
        REQUIRE(window_ != nullptr);
    }
    ~StyledWindow() { DestroyWindow(window_); }
    StyledWindow(const StyledWindow&) = delete;
    StyledWindow& operator=(const StyledWindow&) = delete;

    // The colour in the middle of the client area once it has settled to
    // the expected one, or the last seen.
    COLORREF ClientColor(COLORREF expected) const {
        RECT client{};
        GetClientRect(window_, &client);
        POINT middle{client.right / 2, client.bottom / 2};
        ClientToScreen(window_, &middle);
        COLORREF seen = CLR_INVALID;
        WaitUntil([&] {
            return (seen = Screenshot::Capture({middle.x, middle.y, middle.x + 1, middle.y + 1}).At(middle)) ==
                   expected;
        }, 2000);
        return seen;
    }

private:
    HWND window_ = nullptr;
};

void CheckActive(const style::TStyleManager& styles, style::Color background) {
    const style::Look* look = styles.ActiveLook();
    REQUIRE(look != nullptr);
    CHECK_EQ(ShowColor(Ref(look->clientBackground)), ShowColor(Ref(background)));
}

}  // namespace

// Each carried style asked for by name becomes the active style, and the
// windows, those drawn so far too, are drawn in it; an unknown name changes
// nothing.
PIX_TEST(AnotherCarriedStyleBecomesActive) {
    wchar_t self[MAX_PATH] = {};
    REQUIRE(GetModuleFileNameW(nullptr, self, MAX_PATH) > 0);
    const std::wstring carrier = Scratch(L"carrier.exe");
    REQUIRE(CopyFileW(self, carrier.c_str(), FALSE));
    AddRcData(carrier, L"SECONDSTYLE", SecondStyle(StyleResourceBytes(carrier)));
    StartOptions options;
    options.arguments = L"InsideCarrier";
    options.shareOutput = true;
    options.environment = {{kInnerVariable, L"1"}};
    Process inner = Process::Start(carrier, options);
    CHECK(inner.WaitForExit(120000));
    CHECK_EQ(inner.ExitCode(), DWORD{0});
}

// Run by the case above, in the copy that carries both styles.
PIX_INNER_TEST(InsideCarrier) {
    if (Environment(kInnerVariable).empty()) Skip("the inner half of AnotherCarriedStyleBecomesActive");
    style::TStyleManager styles;
    CHECK(styles.ActiveLook() == nullptr);
    REQUIRE(styles.TryActivateStyle(u"Windows10 Corvanti", false));
    CheckActive(styles, kHouseBackground);
    const StyledWindow before(60);
    CHECK_EQ(ShowColor(before.ClientColor(Ref(kHouseBackground))), ShowColor(Ref(kHouseBackground)));

    {
        Context context("the second style, its name in other letter case");
        CHECK(styles.TryActivateStyle(u"WINDOWS10 SEGUNDO", false));
        CheckActive(styles, kSecondBackground);
        CHECK_EQ(ShowColor(before.ClientColor(Ref(kSecondBackground))), ShowColor(Ref(kSecondBackground)));
        const StyledWindow after(360);
        CHECK_EQ(ShowColor(after.ClientColor(Ref(kSecondBackground))), ShowColor(Ref(kSecondBackground)));
    }
    {
        Context context("a name nothing carries");
        CHECK(!styles.TryActivateStyle(u"Windows10 Nenhum", false));
        CheckActive(styles, kSecondBackground);
    }
    {
        Context context("the house style again");
        CHECK(styles.TryActivateStyle(u"Windows10 Corvanti", false));
        CheckActive(styles, kHouseBackground);
        CHECK_EQ(ShowColor(before.ClientColor(Ref(kHouseBackground))), ShowColor(Ref(kHouseBackground)));
    }
}
