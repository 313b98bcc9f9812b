// The styles the program carries, and the one that draws its windows.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "style/core/look.h"

namespace pix::style {

class TStyleEngine;

class TStyleManager {
public:
    TStyleManager();
    ~TStyleManager();
    TStyleManager(const TStyleManager&) = delete;
    TStyleManager& operator=(const TStyleManager&) = delete;

    // Finds the carried style of this name (letter case ignored by the
    // user's locale) and makes it the active style of the process: every
    // window is drawn in it from then on, those drawn so far too. False when
    // none has the name, after an error box if asked, and the active style
    // stays. A carried style that cannot be read raises a failure instead.
    bool TryActivateStyle(const std::u16string& name, bool showErrorDialog);

    // The active style's look; null while none is active.
    const Look* ActiveLook() const noexcept;

private:
    struct Carried {
        std::wstring resourceName;  // the name the style is carried under
        std::u16string name;        // the name recorded inside it
        const std::uint8_t* data = nullptr;
        std::size_t size = 0;
    };
    void CollectCarriedStyles();

    bool collected_ = false;
    std::vector<Carried> carried_;
    int active_ = -1;  // the index of the active style in carried_
    std::unique_ptr<TStyleEngine> engine_;
};

}  // namespace pix::style
