#pragma once

#include <QByteArray>
#include <QtEndian>

// Appends a whole number to binary output in the byte order its format asks for: big-endian in
// font tables, little-endian in zip headers. T says the width.
namespace ByteOrder {
template <class T> void appendBigEndian(QByteArray &data, T value)
{
    char bytes[sizeof(T)];
    qToBigEndian(value, bytes);
    data.append(bytes, qsizetype(sizeof(T)));
}

template <class T> void appendLittleEndian(QByteArray &data, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    data.append(bytes, qsizetype(sizeof(T)));
}
} // namespace ByteOrder
