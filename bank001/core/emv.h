// The BR Code (EMV "copia e cola") text the bank returns: read as a TLV
// structure and checked before anyone can pay it. The walk over the fields
// and the CRC are pixlib/core/br_code.h's; the rules here are what a code of
// this bank must be to be exactly what the bank meant.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/core/result.h"
#include "pixlib/core/br_code.h"

namespace bank001 {

using pix::brcode::Crc16;
using Tlv = pix::brcode::Field;

// The longest code accepted, in characters.
inline constexpr std::size_t kMaximumBrCode = 512;

// Splits a TLV sequence: two-digit tag, two-digit length (in characters),
// value. Fails with the reason when it does not add up.
pix::Result<std::vector<Tlv>> ParseTlv(std::string_view text);

// What the checks read from a good code.
struct BrCodeFacts {
    std::string location;  // 26-25, host/path without a scheme
    std::string txId;      // 62-05
};

// Everything a payer's bank needs to accept the code, and nothing a second
// reader could take differently from the first: at most kMaximumBrCode
// characters; structure and CRC; no tag twice at the top level nor inside 26
// and 62; the PIX GUI with a location that carries no scheme and lies on the
// host of bankUrl (the qrCode.url of the bank's answer; not compared when
// empty); category 52 of four digits; currency 986; country BR; name and
// city within their lengths; the txid; and the amount in tag 54, when
// present, equal to cents. Fails with the reason.
pix::Result<BrCodeFacts> CheckBrCode(std::string_view emv, std::int64_t cents, std::string_view bankUrl = {});

}  // namespace bank001
