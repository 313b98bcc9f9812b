// The BR Code (EMV "copia e cola") text the bank returns: read as a TLV
// structure and checked before anyone can pay it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pixlib/core/br_code.h"

namespace bank001 {

using pix::brcode::Crc16;
using Tlv = pix::brcode::Field;

// Splits a TLV sequence: two-digit tag, two-digit length (in characters),
// value. False, with the reason, when it does not add up.
bool ParseTlv(std::string_view text, std::vector<Tlv>& fields, std::string& error);

// Everything a payer's bank needs to accept the code: structure, CRC, the
// PIX GUI with a location, currency 986, country BR, name and city within
// their lengths, the txid field, and the amount in tag 54, when present,
// equal to cents. Empty when good, else the reason.
std::string CheckBrCode(std::string_view emv, std::int64_t cents);

}  // namespace bank001
