#pragma once

// The RR-interval reader.

namespace nongauss {

/// The input series, rri[1..ndata] as read (unit of the file). Made by
/// read_series, never released; nullptr before a file has been read.
extern double* rri;

/// Opens `name`, prints the input banner and reads white-space separated
/// decimal numbers into rri[1..] until the end of the file or the first text
/// that does not begin a number. Returns the number of values stored, 0 when
/// nothing could be read. Messages (standard error):
///   "File %s not found!\n"          there is no such file (no banner);
///   "Cannot open input file %s: %s\n"
///                                   it exists but cannot be opened, with
///                                   the system's reason (no banner);
///   "Error while reading input file %s!\n"
///                                   reading failed (the name is a directory,
///                                   an I/O error): 0, whatever was read before;
///   "No data was read!\n"           no number at the start of the file;
///   "%s: insufficient memory, truncating input at row %d\n"
///                                   the storage cannot grow (values so far kept).
/// The storage grows in steps of 10000 values.
int read_series(const char* name);

}  // namespace nongauss
