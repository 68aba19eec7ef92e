#pragma once

// The framework's logging entry points. They stand throughout the code so that a
// diagnostic build can bring them to life; this build writes nothing.

#if defined(__GNUC__)
#define ZORVA_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define ZORVA_PRINTF_FORMAT(fmt, args)
#endif

void Trace(const char* funcName, int line, const char* format, ...) ZORVA_PRINTF_FORMAT(3, 4);

// The first two arguments of Trace: Trace(TRACELOC, "%d voices", n).
#define TRACELOC __func__, __LINE__

// Names for log lines; empty in this build.
const char* AUSelectStr(int selector);
const char* AUPropertyStr(int propertyID);
const char* AUScopeStr(int scope);
const char* VSTOpcodeStr(int opcode);

// Local time as "20261206 09:15 +0100". The text lives in a buffer of the calling
// thread that the next call overwrites.
const char* CurrentTime();

// Minutes by which local time is ahead of UTC, given the same instant broken down both ways.
struct tm;
int UtcOffsetMinutes(const tm& local, const tm& utc);

// Build stamps from the compiler's __DATE__ ("Dec  6 2026") and __TIME__ ("09:15:00"):
// CompileTimestamp writes "2026.12.06 09:15" into text (at least 32 bytes);
// AppendTimestamp appends " [2026.12.06 09:15]" to the NUL-terminated text,
// which must have room for 20 more bytes.
void CompileTimestamp(const char* date, const char* time, char* text);
void AppendTimestamp(const char* date, const char* time, char* text);
