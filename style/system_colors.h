// The style's substitutes for the platform's system colours, where the
// common controls take them. The fields, the result area, the date picker
// and its calendar read system colours as they paint (GetSysColor,
// GetSysColorBrush), the colours of selected text among them, and offer no
// other way to set those; SetSysColors would recolour every program on the
// desktop. While one of these lives, the common-controls library of this
// process reads the substitutes instead: its imports of the two functions
// point here, and are put back at the end. Colours without a substitute are
// the platform's.
#pragma once

#include <windows.h>

#include <array>
#include <utility>
#include <vector>

#include "base/handles.h"
#include "style/core/look.h"

namespace pix::style {

class SystemColorSubstitutes {
public:
    explicit SystemColorSubstitutes(const Look& look);
    ~SystemColorSubstitutes();
    SystemColorSubstitutes(const SystemColorSubstitutes&) = delete;
    SystemColorSubstitutes& operator=(const SystemColorSubstitutes&) = delete;

    // Another look's substitutes.
    void Take(const Look& look);

    // The substitute for a system colour, or the platform's colour.
    COLORREF ColorOf(int index) const noexcept;
    HBRUSH BrushOf(int index) const noexcept;

private:
    void Keep(const Look& look);

    static constexpr int kIndexes = COLOR_MENUBAR + 1;
    std::array<bool, kIndexes> substituted_{};
    std::array<COLORREF, kIndexes> colors_{};
    std::array<UniqueBrush, kIndexes> brushes_;
    // The import entries pointed here, and what they held.
    std::vector<std::pair<void**, void*>> redirected_;
};

}  // namespace pix::style
