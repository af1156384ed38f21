// The decoding helper's confinement, entered once its files are open and before any byte of
// the picture is decoded. One file per platform.
#pragma once

namespace tavrino {

// Limits the process: about 1 GiB of address space, 20 s of processor time, no core file.
void LimitDecoder();

// Allows from here on only the system calls that decoding and writing into already open files
// need; anything else (opening files, sockets, starting programs) fails. Throws tavrino::Error
// when the filter cannot be installed.
void SealDecoder();

}  // namespace tavrino
