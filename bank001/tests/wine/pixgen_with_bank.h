// PixGen started with the bank 001 Quelvano.dll beside it and its
// Quelvano.ini aimed at the mock bank, and the form filled as a person
// fills it for a charge the mock knows.
#pragma once

#include <string>
#include <utility>

#include "bank001/tests/wine/mock_client.h"
#include "form/core/control_ids.h"

namespace bank001::testing {

inline RecordedPixGen StartWithBank001(const std::wstring& folder, Layout layout = Layout()) {
    layout.library = RequiredEnvironment(L"PIX_BANK001");
    RecordedPixGen pix = StartRecorded(folder, layout);
    const std::string url = MockUrl();
    WriteFileBytes(Scratch(folder + L"\\Quelvano.ini"), "[bank001]\r\noauth_url=" + url + "\r\napi_url=" + url + "\r\n");
    REQUIRE(Responds(pix.main));
    return pix;
}

inline void Fill(const RecordedPixGen& pix) {
    namespace ids = ::pix::ids;
    const std::pair<int, std::string> fields[] = {
        {ids::edtDeveloperApplicationKey, kAppKey}, {ids::edtClientId, kClientId},
        {ids::edtClientSecret, kSecret},           {ids::edtConvenio, "3128557"},
        {ids::edtCodigoSolicitacaoBancoCentral, "12ABC34501DE35"},
        {ids::edtBoleto, "0000000001"},            {ids::edtValor, "123.45"},
    };
    for (const auto& [id, text] : fields) {
        const std::wstring wide = Wide(text);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(pix.Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG,
                            kReactTimeout, &ignored);
        REQUIRE_EQ(Text(pix.Control(id)), wide);
    }
}

}  // namespace bank001::testing
