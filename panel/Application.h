#pragma once

#include <string>

namespace quorvel {

// The application title, which every message box without a title of its own carries.
class Application {
public:
    virtual ~Application() = default;
    virtual void setTitle(const std::string& title) = 0;
};

} // namespace quorvel
