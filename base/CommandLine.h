// The argument-text tokenizer: spaces separate, a token that begins with '"' runs to the
// next '"', and there is no escape character.
#pragma once
#include <string>
#include <vector>

class ArgList {
public:
    int count() const { return static_cast<int>(tokens_.size()); }
    const char* at(int index) const { return tokens_[index].c_str(); }

private:
    friend ArgList SplitCommandLine(const char* text);
    std::vector<std::string> tokens_;
};

ArgList SplitCommandLine(const char* text);
