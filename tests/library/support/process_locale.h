// The C library's locale of the test process set for a while: German and
// French write numbers with a decimal comma. The previous locale comes back
// when the scope ends. Set it only while no run is out: setlocale changes
// the whole process.
#pragma once

#include <clocale>
#include <string>

class ProcessLocale {
public:
    ProcessLocale(int category, const char* name)
    {
        const char* previous = std::setlocale(LC_ALL, nullptr);
        m_previous = previous ? previous : "C";
        m_set = std::setlocale(category, name) != nullptr;
    }
    ~ProcessLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
    ProcessLocale(const ProcessLocale&) = delete;
    ProcessLocale& operator=(const ProcessLocale&) = delete;

    // Whether the locale was there to be set (scripts/install-deps makes
    // the ones the tests use).
    bool set() const { return m_set; }
    // The decimal point printf writes now.
    static std::string decimalPoint() { return std::localeconv()->decimal_point; }

private:
    std::string m_previous;
    bool m_set = false;
};

// The locales the tests run under: decimal-comma number rules, for every
// category and for the numbers alone.
struct LocaleCase {
    const char* what;
    int category;
    const char* name;
};

inline constexpr LocaleCase kLocales[] = {
    {"German, every category", LC_ALL, "de_DE.UTF-8"},
    {"French, every category", LC_ALL, "fr_FR.UTF-8"},
    {"German numbers only", LC_NUMERIC, "de_DE.UTF-8"},
};
