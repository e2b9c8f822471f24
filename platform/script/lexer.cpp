// Tokenizer of the script language.
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "platform/runtime/conversions.h"
#include "platform/script/script_ast.h"

namespace vb::script {

namespace {

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A whole-number literal is an Integer when it fits 16 bits, a Long when it
// fits 32 bits and a Double otherwise, as the language types its constants.
Variant WholeLiteral(double v) {
    if (v >= -32768 && v <= 32767) return Variant(static_cast<int16_t>(v));
    if (v >= -2147483648.0 && v <= 2147483647.0) return Variant(static_cast<int32_t>(v));
    return Variant(v);
}

}  // namespace

std::vector<Token> Tokenize(std::string_view s) {
    std::vector<Token> out;
    int line = 1;
    size_t i = 0;
    auto push = [&](Tok kind, std::string text, int atLine) {
        Token t;
        t.kind = kind;
        t.text = std::move(text);
        t.line = atLine;
        out.push_back(std::move(t));
    };
    auto skipToEol = [&] {
        while (i < s.size() && s[i] != '\n' && s[i] != '\r') ++i;
    };
    while (i < s.size()) {
        char c = s[i];
        if (c == ' ' || c == '\t') { ++i; continue; }
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
            ++i;
            push(Tok::Newline, "\n", line);
            ++line;
            continue;
        }
        if (c == '\'') { skipToEol(); continue; }
        if (c == ':') { ++i; push(Tok::Colon, ":", line); continue; }
        // Line continuation: "_" followed only by blanks up to the line end.
        if (c == '_' && (i + 1 >= s.size() || !IsIdentChar(s[i + 1]))) {
            size_t j = i + 1;
            while (j < s.size() && (s[j] == ' ' || s[j] == '\t')) ++j;
            if (j >= s.size() || s[j] == '\r' || s[j] == '\n') {
                if (j < s.size() && s[j] == '\r' && j + 1 < s.size() && s[j + 1] == '\n') ++j;
                i = j + 1;
                ++line;
                continue;
            }
            CompileError(errScriptSyntax, line);
        }
        if (c == '"') {
            std::string text;
            ++i;
            for (;;) {
                if (i >= s.size() || s[i] == '\r' || s[i] == '\n') CompileError(errScriptUnterminatedString, line);
                if (s[i] == '"') {
                    if (i + 1 < s.size() && s[i + 1] == '"') { text += '"'; i += 2; continue; }
                    ++i;
                    break;
                }
                text += s[i++];
            }
            Token t;
            t.kind = Tok::String;
            t.value = Variant(text);
            t.line = line;
            out.push_back(std::move(t));
            continue;
        }
        if (IsDigit(c) || (c == '.' && i + 1 < s.size() && IsDigit(s[i + 1]))) {
            size_t start = i;
            bool real = false;
            while (i < s.size() && IsDigit(s[i])) ++i;
            if (i < s.size() && s[i] == '.') {
                real = true;
                ++i;
                while (i < s.size() && IsDigit(s[i])) ++i;
            }
            if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
                size_t j = i + 1;
                if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
                if (j < s.size() && IsDigit(s[j])) {
                    real = true;
                    i = j;
                    while (i < s.size() && IsDigit(s[i])) ++i;
                } else {
                    CompileError(errScriptSyntax, line);
                }
            }
            if (i < s.size() && IsIdentStart(s[i])) CompileError(errScriptExpectedEnd, line);
            double v = std::strtod(std::string(s.substr(start, i - start)).c_str(), nullptr);
            if (!std::isfinite(v)) CompileError(errScriptSyntax, line);
            Token t;
            t.kind = Tok::Number;
            t.value = real ? Variant(v) : WholeLiteral(v);
            t.line = line;
            out.push_back(std::move(t));
            continue;
        }
        if (c == '&' && i + 1 < s.size() && (s[i + 1] == 'h' || s[i + 1] == 'H')) {
            size_t j = i + 2;
            int64_t v = 0;
            size_t digits = 0;
            while (j < s.size() && std::isxdigit(static_cast<unsigned char>(s[j]))) {
                v = v * 16 + (IsDigit(s[j]) ? s[j] - '0' : (std::tolower(s[j]) - 'a' + 10));
                ++j;
                if (++digits > 8) CompileError(errScriptSyntax, line);
            }
            if (digits == 0) CompileError(errScriptSyntax, line);
            i = j;
            if (i < s.size() && s[i] == '&') ++i;   // optional Long suffix
            Token t;
            t.kind = Tok::Number;
            // Hex literals of up to 4 digits are Integers, wider ones Longs,
            // both taking the two's-complement value of their bits.
            if (digits <= 4) t.value = Variant(static_cast<int16_t>(static_cast<uint16_t>(v)));
            else t.value = Variant(static_cast<int32_t>(static_cast<uint32_t>(v)));
            t.line = line;
            out.push_back(std::move(t));
            continue;
        }
        if (IsIdentStart(c)) {
            size_t start = i;
            while (i < s.size() && IsIdentChar(s[i])) ++i;
            Token t;
            t.kind = Tok::Ident;
            t.raw = std::string(s.substr(start, i - start));
            t.text = LCase(t.raw);
            t.line = line;
            bool rem = t.text == "rem";
            out.push_back(std::move(t));
            if (rem) skipToEol();
            continue;
        }
        // Operators.
        static const char* const twoChar[] = {"<>", "<=", ">="};
        bool matched = false;
        for (const char* op : twoChar) {
            if (s.substr(i, 2) == op) {
                push(Tok::Op, op, line);
                i += 2;
                matched = true;
                break;
            }
        }
        if (matched) continue;
        if (std::string_view("+-*/\\^&=<>(),.").find(c) != std::string_view::npos) {
            push(Tok::Op, std::string(1, c), line);
            ++i;
            continue;
        }
        CompileError(errScriptSyntax, line, std::string("'") + c + "'");
    }
    push(Tok::Eof, "", line);
    return out;
}

}  // namespace vb::script
