// Reads what the recording Quelvano.dll appended for each NewPix call:
//
//   call
//   x87cw 137F
//   mxcsr 00001F80
//   sp 000000000022F8A8
//   text bankCode cp 1200 es 2 rc -1 len 3 units 0030 0030 0031
//   text boleto null
//   ...                      (seven texts, in the order of the arguments)
//   double valor 4059000000000000
//   double vencimento 40E6000000000000
//   end
#include "tests/wine/driver/driver.h"

#include <cstring>

namespace pixtest {

namespace {

[[noreturn]] void Malformed(int lineNumber, const std::string& line, const char* why) {
    throw Abort{"recording line " + std::to_string(lineNumber) + " " + Show(line) + ": " + why};
}

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t end = line.find(' ', start);
        const std::size_t stop = end == std::string::npos ? line.size() : end;
        if (stop > start) words.push_back(line.substr(start, stop - start));
        start = stop + 1;
    }
    return words;
}

bool Hex(const std::string& word, std::uint64_t& value) {
    if (word.empty() || word.size() > 16) return false;
    value = 0;
    for (char c : word) {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return false;
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    return true;
}

bool Decimal(const std::string& word, long& value) {
    if (word.empty()) return false;
    char* end = nullptr;
    value = std::strtol(word.c_str(), &end, 10);
    return end && *end == '\0';
}

class Parser {
public:
    explicit Parser(const std::string& bytes) : bytes_(bytes) {}

    std::vector<RecordedCall> Calls() {
        std::vector<RecordedCall> calls;
        std::string line;
        while (Next(line)) {
            if (line != "call") Malformed(number_, line, "expected \"call\"");
            calls.push_back(Call());
        }
        return calls;
    }

private:
    bool Next(std::string& line) {
        if (position_ >= bytes_.size()) return false;
        std::size_t end = bytes_.find('\n', position_);
        if (end == std::string::npos) end = bytes_.size();
        line = bytes_.substr(position_, end - position_);
        position_ = end + 1;
        ++number_;
        return true;
    }

    std::string Expect(const char* key, std::vector<std::string>& words) {
        std::string line;
        if (!Next(line)) Malformed(number_ + 1, "", "the file ends inside a call");
        words = Words(line);
        if (words.empty() || words[0] != key) Malformed(number_, line, (std::string("expected ") + key).c_str());
        return line;
    }

    std::uint64_t HexField(const char* key, std::size_t index) {
        std::vector<std::string> words;
        const std::string line = Expect(key, words);
        std::uint64_t value = 0;
        if (words.size() != index + 1 || !Hex(words[index], value)) Malformed(number_, line, "bad number");
        return value;
    }

    RecordedText Text(const std::string& line, const std::vector<std::string>& words) {
        RecordedText text;
        if (words.size() < 3) Malformed(number_, line, "too short");
        text.name = words[1];
        if (words[2] == "null") {
            if (words.size() != 3) Malformed(number_, line, "words after null");
            text.null = true;
            return text;
        }
        long codePage = 0, elementSize = 0;
        if (words.size() < 10 || words[2] != "cp" || !Decimal(words[3], codePage) || words[4] != "es" ||
            !Decimal(words[5], elementSize) || words[6] != "rc" || !Decimal(words[7], text.referenceCount) ||
            words[8] != "len" || !Decimal(words[9], text.length) || (words.size() > 10 && words[10] != "units"))
            Malformed(number_, line, "bad header fields");
        text.codePage = static_cast<int>(codePage);
        text.elementSize = static_cast<int>(elementSize);
        for (std::size_t i = 11; i < words.size(); ++i) {
            std::uint64_t unit = 0;
            if (!Hex(words[i], unit) || unit > 0xFFFF) Malformed(number_, line, "bad code unit");
            text.units += static_cast<char16_t>(unit);
        }
        return text;
    }

    RecordedCall Call() {
        RecordedCall call;
        call.x87ControlWord = static_cast<std::uint16_t>(HexField("x87cw", 1));
        call.mxcsr = static_cast<std::uint32_t>(HexField("mxcsr", 1));
        call.stackPointer = HexField("sp", 1);
        std::string line;
        for (;;) {
            if (!Next(line)) Malformed(number_ + 1, "", "the file ends inside a call");
            const std::vector<std::string> words = Words(line);
            if (words.empty() || words[0] != "text") break;
            call.texts.push_back(Text(line, words));
        }
        std::vector<std::string> words = Words(line);
        std::uint64_t bits = 0;
        if (words.size() != 3 || words[0] != "double" || words[1] != "valor" || !Hex(words[2], bits))
            Malformed(number_, line, "expected \"double valor\"");
        call.valorBits = bits;
        const std::string next = Expect("double", words);
        if (words.size() != 3 || words[1] != "vencimento" || !Hex(words[2], bits))
            Malformed(number_, next, "expected \"double vencimento\"");
        call.vencimentoBits = bits;
        if (!Next(line) || line != "end") Malformed(number_, line, "expected \"end\"");
        return call;
    }

    const std::string& bytes_;
    std::size_t position_ = 0;
    int number_ = 0;
};

double FromBits(std::uint64_t bits) {
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

double RecordedCall::Valor() const { return FromBits(valorBits); }
double RecordedCall::Vencimento() const { return FromBits(vencimentoBits); }

const RecordedText& RecordedCall::Text(const std::string& name) const {
    for (const RecordedText& text : texts)
        if (text.name == name) return text;
    throw Abort{"the recorded call has no text argument " + name};
}

std::vector<RecordedCall> ReadRecording(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    return Parser(bytes).Calls();
}

RecordedPixGen StartRecorded(const std::wstring& folder, const Layout& layout,
                             const std::vector<std::pair<std::wstring, std::wstring>>& environment) {
    const std::wstring exe = Deploy(folder, layout);
    RecordedPixGen pix;
    pix.record = JoinPath(FolderOf(exe), L"record.txt");
    pix.modeFile = JoinPath(FolderOf(exe), L"mode.txt");
    pix.Mode("");
    StartOptions options;
    options.environment = {{L"QUELVANO_RECORD", pix.record}, {L"QUELVANO_MODE_FILE", pix.modeFile}};
    options.environment.insert(options.environment.end(), environment.begin(), environment.end());
    pix.process = Process::Start(exe, options);
    pix.main = WaitForMainWindow(pix.process);
    REQUIRE(pix.main != nullptr);
    return pix;
}

HWND RecordedPixGen::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(process.ThreadId(), &info) ? info.hwndFocus : nullptr;
}

void Close(RecordedPixGen& pix) {
    PostMessageW(pix.main, WM_CLOSE, 0, 0);
    CHECK(pix.process.WaitForExit());
}

}  // namespace pixtest
