// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <utility>
#include <variant>

namespace probnik {

// A failure carried as a value; the message is the text the user sees. A cancelled piece of
// work fails too, with no message: the user asked for it and is told nothing.
struct Error {
    std::string message;
    bool cancelled = false;
};

inline Error cancelled()
{
    return Error { {}, true };
}

// Either a value or the Error that prevented it.
template <class T> class Result {
public:
    Result(T value)
        : m_state(std::move(value))
    {
    }
    Result(Error error)
        : m_state(std::move(error))
    {
    }

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<T>(m_state); }
    const T& value() const& { return std::get<T>(m_state); }
    T&& value() && { return std::get<T>(std::move(m_state)); }
    const Error& error() const { return std::get<Error>(m_state); }

private:
    std::variant<T, Error> m_state;
};

} // namespace probnik
