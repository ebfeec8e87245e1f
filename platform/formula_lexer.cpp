// Splits formula source (LMBCS) into tokens. Multibyte characters are
// stepped over whole, so a trailing byte that looks like a quote or a brace
// never ends a string.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "formula_ast.h"
#include "talix_platform/c_locale.h"
#include "talix_platform/text.h"

namespace plat::formula {

namespace {

struct OperatorSpelling {
    const char* text;
    Op op;
    bool permuted;
};

// Longest spellings first, so that the first match is the longest one.
const OperatorSpelling kOperators[] = {
    {"*!=", Op::NotEqual, true}, {"*=!", Op::NotEqual, true}, {"*<>", Op::NotEqual, true},
    {"*><", Op::NotEqual, true}, {"*<=", Op::LessEqual, true}, {"*>=", Op::GreaterEqual, true},
    {":=", Op::Assign, false},   {"!=", Op::NotEqual, false},  {"=!", Op::NotEqual, false},
    {"<>", Op::NotEqual, false}, {"><", Op::NotEqual, false},  {"<=", Op::LessEqual, false},
    {">=", Op::GreaterEqual, false}, {"*+", Op::Add, true},    {"*-", Op::Subtract, true},
    {"**", Op::Multiply, true},  {"*/", Op::Divide, true},     {"*=", Op::Equal, true},
    {"*<", Op::Less, true},      {"*>", Op::Greater, true},    {":", Op::List, false},
    {"+", Op::Add, false},       {"-", Op::Subtract, false},   {"*", Op::Multiply, false},
    {"/", Op::Divide, false},    {"=", Op::Equal, false},      {"<", Op::Less, false},
    {">", Op::Greater, false},   {"&", Op::And, false},        {"|", Op::Or, false},
    {"!", Op::Not, false},
};

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool IsAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A character that may start a name: a letter, "_", "$", or any character
// outside ASCII (a byte from 0x80 up, or a multibyte LMBCS character).
bool IsNameStart(const unsigned char* p, size_t charLength) {
    return charLength > 1 || IsAsciiLetter(p[0]) || p[0] == '_' || p[0] == '$' || p[0] >= 0x80;
}

bool IsNamePart(const unsigned char* p, size_t charLength) { return IsNameStart(p, charLength) || IsDigit(p[0]); }

class Lexer {
public:
    Lexer(std::string_view source, std::vector<Token>* tokens, SyntaxError* error)
        : source_(source), bytes_(reinterpret_cast<const unsigned char*>(source.data())), tokens_(tokens),
          error_(error) {}

    bool Run() {
        tokens_->clear();
        while (pos_ < source_.size()) {
            unsigned char c = bytes_[pos_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++pos_;
                continue;
            }
            bool ok = true;
            if (c == '"') ok = QuotedString();
            else if (c == '{') ok = Delimited(TokenKind::Text, '}', "unterminated string");
            else if (c == '[') ok = Delimited(TokenKind::Keyword, ']', "unterminated keyword");
            else if (IsDigit(c) || (c == '.' && pos_ + 1 < source_.size() && IsDigit(bytes_[pos_ + 1]))) ok = Number();
            else if (c == '@') ok = FunctionName();
            else if (IsNameStart(bytes_ + pos_, CharLength(pos_))) NameToken();
            else if (c == '(') Single(TokenKind::Open);
            else if (c == ')') Single(TokenKind::Close);
            else if (c == ';') Single(TokenKind::Semicolon);
            else ok = OperatorToken();
            if (!ok) return false;
        }
        Token end;
        end.kind = TokenKind::End;
        end.offset = source_.size();
        tokens_->push_back(end);
        return true;
    }

private:
    size_t CharLength(size_t at) const {
        size_t length = LmbcsCharLength(bytes_ + at, static_cast<DWORD>(source_.size() - at));
        return length == 0 ? 1 : length;
    }

    bool Fail(size_t offset, std::string message) {
        error_->offset = offset;
        error_->message = std::move(message);
        return false;
    }

    Token& Add(TokenKind kind, size_t start) {
        Token token;
        token.kind = kind;
        token.offset = start;
        token.length = pos_ - start;
        tokens_->push_back(std::move(token));
        return tokens_->back();
    }

    void Single(TokenKind kind) {
        size_t start = pos_++;
        Add(kind, start);
    }

    // "..." where a backslash makes the character after it literal.
    bool QuotedString() {
        size_t start = pos_++;
        std::string text;
        while (true) {
            if (pos_ >= source_.size()) return Fail(start, "unterminated string");
            unsigned char c = bytes_[pos_];
            if (c == '"') break;
            if (c == '\\') {
                ++pos_;
                if (pos_ >= source_.size()) return Fail(start, "unterminated string");
            }
            size_t length = CharLength(pos_);
            text.append(source_.substr(pos_, length));
            pos_ += length;
        }
        ++pos_;
        Add(TokenKind::Text, start).text = std::move(text);
        return true;
    }

    // {...} strings and [...] keywords: everything up to the closing byte.
    bool Delimited(TokenKind kind, unsigned char close, const char* unterminated) {
        size_t start = pos_++;
        size_t contentStart = pos_;
        while (true) {
            if (pos_ >= source_.size()) return Fail(start, unterminated);
            if (bytes_[pos_] == close) break;
            pos_ += CharLength(pos_);
        }
        std::string text(source_.substr(contentStart, pos_ - contentStart));
        ++pos_;
        if (kind == TokenKind::Keyword && text.empty()) return Fail(start, "empty keyword \"[]\"");
        Add(kind, start).text = std::move(text);
        return true;
    }

    // Digits with an optional fraction and an optional exponent.
    bool Number() {
        size_t start = pos_;
        while (pos_ < source_.size() && IsDigit(bytes_[pos_])) ++pos_;
        if (pos_ < source_.size() && bytes_[pos_] == '.') {
            ++pos_;
            while (pos_ < source_.size() && IsDigit(bytes_[pos_])) ++pos_;
        }
        if (pos_ < source_.size() && (bytes_[pos_] == 'e' || bytes_[pos_] == 'E')) {
            size_t exponent = pos_ + 1;
            if (exponent < source_.size() && (bytes_[exponent] == '+' || bytes_[exponent] == '-')) ++exponent;
            if (exponent < source_.size() && IsDigit(bytes_[exponent])) {
                pos_ = exponent;
                while (pos_ < source_.size() && IsDigit(bytes_[pos_])) ++pos_;
            }
        }
        double value = 0;
        const char* first = source_.data() + start;
        const char* last = source_.data() + pos_;
        auto [end, error] = std::from_chars(first, last, value);
        if (error == std::errc::result_out_of_range && end == last) {
            // Too small a number is its nearest double, 0 at the least;
            // only too large a one is out of range.
            value = plat::ReadNumber(std::string(first, last).c_str(), nullptr);
            if (std::isfinite(value)) error = std::errc();
        }
        if (error != std::errc() || end != last) return Fail(start, "number out of range");
        Add(TokenKind::Number, start).number = value;
        return true;
    }

    bool FunctionName() {
        size_t start = pos_++;
        size_t nameStart = pos_;
        while (pos_ < source_.size() && IsNamePart(bytes_ + pos_, CharLength(pos_))) pos_ += CharLength(pos_);
        if (pos_ == nameStart) return Fail(start, "a function name must follow \"@\"");
        Add(TokenKind::Function, start).text = std::string(source_.substr(nameStart, pos_ - nameStart));
        return true;
    }

    void NameToken() {
        size_t start = pos_;
        while (pos_ < source_.size() && IsNamePart(bytes_ + pos_, CharLength(pos_))) pos_ += CharLength(pos_);
        Add(TokenKind::Name, start).text = std::string(source_.substr(start, pos_ - start));
    }

    bool OperatorToken() {
        for (const auto& spelling : kOperators) {
            std::string_view text(spelling.text);
            if (source_.substr(pos_, text.size()) != text) continue;
            size_t start = pos_;
            pos_ += text.size();
            Token& token = Add(TokenKind::Operator, start);
            token.op = spelling.op;
            token.permuted = spelling.permuted;
            token.text = std::string(text);
            return true;
        }
        unsigned char c = bytes_[pos_];
        char message[64];
        if (c >= 0x20 && c < 0x7F) std::snprintf(message, sizeof message, "unexpected character '%c'", c);
        else std::snprintf(message, sizeof message, "unexpected character 0x%02X", c);
        return Fail(pos_, message);
    }

    std::string_view source_;
    const unsigned char* bytes_;
    std::vector<Token>* tokens_;
    SyntaxError* error_;
    size_t pos_ = 0;
};

} // namespace

bool Tokenize(std::string_view source, std::vector<Token>* tokens, SyntaxError* error) {
    return Lexer(source, tokens, error).Run();
}

std::string FoldName(std::string_view name) {
    std::string folded(name);
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
    size_t pos = 0;
    while (pos < folded.size()) {
        // Only single-byte characters fold: the trailing bytes of a multibyte
        // character are not letters even when they look like them.
        size_t length = LmbcsCharLength(bytes + pos, static_cast<DWORD>(folded.size() - pos));
        if (length <= 1 && folded[pos] >= 'A' && folded[pos] <= 'Z') folded[pos] = static_cast<char>(folded[pos] - 'A' + 'a');
        pos += length == 0 ? 1 : length;
    }
    return folded;
}

} // namespace plat::formula
