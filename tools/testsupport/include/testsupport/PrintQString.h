#pragma once
// For GoogleTest: a QString in a failure message reads as its text (UTF-8),
// not as the bytes of the object.
#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toUtf8().constData() << '"'; }
