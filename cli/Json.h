#pragma once
// A small streaming JSON writer for the tool's --json documents.
#include <cstdint>
#include <string>
#include <vector>

namespace zelko::cli {

class JsonWriter {
public:
    JsonWriter& BeginObject() {
        Separate();
        out_ += '{';
        first_.push_back(true);
        return *this;
    }
    JsonWriter& EndObject() {
        Close('}');
        return *this;
    }
    JsonWriter& BeginArray() {
        Separate();
        out_ += '[';
        first_.push_back(true);
        return *this;
    }
    JsonWriter& EndArray() {
        Close(']');
        return *this;
    }
    JsonWriter& Key(const std::string& key) {
        Separate();
        Quote(key);
        out_ += ": ";
        afterKey_ = true;
        return *this;
    }
    JsonWriter& String(const std::string& utf8) {
        Separate();
        Quote(utf8);
        return *this;
    }
    JsonWriter& Number(uint64_t value) {
        Separate();
        out_ += std::to_string(value);
        return *this;
    }
    JsonWriter& Bool(bool value) {
        Separate();
        out_ += value ? "true" : "false";
        return *this;
    }

    template <class T>
    JsonWriter& Field(const std::string& key, const T& value) {
        Key(key);
        if constexpr (std::is_same_v<T, bool>)
            return Bool(value);
        else if constexpr (std::is_arithmetic_v<T>)
            return Number(uint64_t(value));
        else
            return String(value);
    }

    const std::string& Text() const { return out_; }

private:
    void Separate() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (first_.empty()) return;
        if (!first_.back()) out_ += ',';
        first_.back() = false;
        out_ += '\n';
        out_.append(first_.size() * 2, ' ');
    }
    void Close(char c) {
        const bool empty = first_.back();
        first_.pop_back();
        if (!empty) {
            out_ += '\n';
            out_.append(first_.size() * 2, ' ');
        }
        out_ += c;
    }
    void Quote(const std::string& s) {
        out_ += '"';
        for (unsigned char c : s) {
            switch (c) {
            case '"': out_ += "\\\""; break;
            case '\\': out_ += "\\\\"; break;
            case '\n': out_ += "\\n"; break;
            case '\r': out_ += "\\r"; break;
            case '\t': out_ += "\\t"; break;
            default:
                if (c < 0x20) {
                    static const char hex[] = "0123456789abcdef";
                    out_ += "\\u00";
                    out_ += hex[c >> 4];
                    out_ += hex[c & 15];
                } else {
                    out_ += char(c);
                }
            }
        }
        out_ += '"';
    }

    std::string out_;
    std::vector<bool> first_;
    bool afterKey_ = false;
};

} // namespace zelko::cli
