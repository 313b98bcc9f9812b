// Reads each listed BR Code with pix-utils, an implementation independent of
// ours, then checks what that reader accepts although it is wrong: the GUI,
// the currency, the lengths of name and city, tags 00 and 62, and the amount.
'use strict';
const fs = require('fs');
const { parsePix, hasError } = require('pix-utils');

function tlv(text) {
    const fields = {};
    for (let i = 0; i < text.length;) {
        const tag = text.substr(i, 2), length = Number(text.substr(i + 2, 2));
        if (!/^\d{4}$/.test(text.substr(i, 4)) || i + 4 + length > text.length) throw new Error(`broken TLV at ${i}`);
        fields[tag] = text.substr(i + 4, length);
        i += 4 + length;
    }
    return fields;
}

function problems(emv, cents) {
    const found = [];
    const parsed = parsePix(emv);
    if (hasError(parsed)) return [`pix-utils: ${parsed.message}`];
    if (parsed.type !== 'DYNAMIC') found.push(`pix-utils reads type ${parsed.type}, not DYNAMIC`);
    if (!parsed.url) found.push('pix-utils finds no location');
    if (parsed.transactionCurrency !== '986') found.push(`currency ${parsed.transactionCurrency}`);
    if (parsed.countryCode !== 'BR') found.push(`country ${parsed.countryCode}`);
    if (!parsed.merchantCity || parsed.merchantCity.length > 15) found.push(`city "${parsed.merchantCity}"`);
    if (!parsed.merchantName || parsed.merchantName.length > 25) found.push(`name "${parsed.merchantName}"`);
    const top = tlv(emv);
    if (!emv.startsWith('000201')) found.push('tag 00 is not first with 01');
    if (!(top['26'] && tlv(top['26'])['00'].toLowerCase() === 'br.gov.bcb.pix')) found.push('GUI is not br.gov.bcb.pix');
    if (!(top['62'] && tlv(top['62'])['05'])) found.push('no txid in tag 62');
    if (top['54'] !== undefined && !(/^\d+(\.\d{1,2})?$/.test(top['54']) && Math.round(Number(top['54']) * 100) === cents))
        found.push(`amount ${top['54']} is not ${cents} cents`);
    return found;
}

// --spoiled: every listed code is faulty, and each must be caught (the
// checker's own test).
const spoiled = process.argv[2] === '--spoiled';
let checked = 0, failed = 0;
for (const list of process.argv.slice(spoiled ? 3 : 2)) {
    for (const line of fs.readFileSync(list, 'utf8').split('\n').filter(Boolean)) {
        const space = line.indexOf(' ');
        const cents = Number(line.slice(0, space)), emv = line.slice(space + 1);
        let found;
        try {
            found = problems(emv, cents);
        } catch (e) {
            found = [`${e.name}: ${e.message}`];
        }
        ++checked;
        if (found.length) ++failed;
        if (found.length && !spoiled) console.log(`FAIL ${list}: ${emv}\n  ${found.join('\n  ')}`);
        if (!found.length && spoiled) console.log(`NOT CAUGHT ${list}: ${emv}`);
        if (found.length && spoiled) console.log(`caught: ${found.join('; ')}`);
    }
}
console.log(`${checked} BR Codes read, ${failed} with problems`);
process.exit(spoiled ? (checked > 0 && failed === checked ? 0 : 1) : (failed ? 1 : 0));
