// Showing failures to the user.
#include <windows.h>

#include "app/application.h"
#include "app/guard.h"
#include "app/startup_failure.h"
#include "app/text.h"

namespace pix {

Failure ForeignFailure(std::exception_ptr caught) noexcept {
    try {
        std::rethrow_exception(caught);
    } catch (const std::bad_alloc&) {
        return Failure(u"OutOfMemory", u"Out of memory");
    } catch (const std::exception& e) {
        std::u16string message;
        for (const char* p = e.what(); *p; ++p) message += static_cast<unsigned char>(*p);
        return Failure(u"RuntimeError", message);
    } catch (...) {
        return Failure(u"UnknownError", u"Unknown failure");
    }
}

void ShowFailure(const Failure& failure) noexcept {
    const std::wstring caption = Application ? W(Application->Title()) : std::wstring();
    MessageBoxW(GetActiveWindow(), W(failure.Message()).c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

void ShowFatalFailure(std::exception_ptr caught) noexcept {
    Failure failure(u"UnknownError", u"");
    try {
        std::rethrow_exception(caught);
    } catch (const Failure& f) {
        failure = f;
    } catch (...) {
        failure = ForeignFailure(std::current_exception());
    }
    MessageBoxW(nullptr, W(failure.Message()).c_str(), L"Application Error", MB_TASKMODAL | MB_ICONERROR);
}

}  // namespace pix
