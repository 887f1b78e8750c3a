// The pending I/O error: failed file and directory operations leave their code
// here instead of stopping the run; TakeIoError fetches and clears it.
#pragma once

// The runtime's own codes; every other non-zero code is the system's.
inline constexpr int kFileNotBound = 102;
inline constexpr int kFileNotOpen = 103;
inline constexpr int kFileNotOpenForReading = 104;
inline constexpr int kFileNotOpenForWriting = 105;

// A failure's code replaces whatever is pending; 0 leaves it as it is.
void SetIoError(int code);
bool IoErrorPending();
int TakeIoError();
