#pragma once
// The record's `date` text: "YYYY-MM-DD HH:MM:SS" on the 24-hour clock in every locale, so that a
// stored record says the same time wherever it is read (a locale's 12-hour format cut to 19
// characters would drop its AM/PM). What a window shows may follow the locale; what is stored
// never does.

#include "platform/systemtime.h"

#include <string>

constexpr int kRecordDateLength = 19;

// The days of month 1-12 of year (the Gregorian calendar).
int DaysInMonth(int year, int month);

// "2026-12-08 23:18:57".
std::string FormatRecordDate(const SYSTEMTIME& t);

// Reads a record's date text (at most `size` bytes, zero-terminated or not) back into a time.
// False unless the text has that shape (or the one-digit hour an earlier version stored under a
// 12-hour locale) with a real calendar date and a time of day.
bool ParseRecordDate(const char* text, size_t size, SYSTEMTIME& t);
