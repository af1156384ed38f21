// Decoding away from the program. Pictures come from anywhere and their decoders have had
// faults, so on Linux every picture is decoded in a short-lived helper process, limited in
// memory, time and system calls: a fault there can neither take the program down nor act
// inside it, and the memory a large picture needs goes back to the system when it ends.
// Where there is no such helper (Windows), the same jobs run here, in this process.
//
// The caller waits until the job is done, as it would for a decoder in its own process
// (no window events run meanwhile). The helper's errors come back as their own number and
// description; a helper that stops without an answer, or takes longer than the time-out,
// is an InvalidPicture error saying so. The previous bitmap is whole whatever happens.
#pragma once

#include <chrono>

#include "wallpaper/decode/DecodeJobs.h"

namespace tavrino {

// Composes and writes the wallpaper bitmap of job. Throws tavrino::Error.
void ComposeBitmapFile(const BitmapJob& job);

// Decodes the preview of job. Throws tavrino::Error.
DecodedPicture DecodePreview(const PreviewJob& job);

// How long a job may take before the helper is stopped (tests shorten it).
void SetDecoderTimeout(std::chrono::milliseconds timeout);

// A helper's start (loading QtGui and its libraries) takes tens of milliseconds, so one is
// kept started ahead of its job, waiting with its limits in place: each job takes it (or
// starts one at once when there is none), and a job that found one waiting leaves the next.
// One that has waited longer than the idle time (60 s; tests shorten it) is stopped where this
// process runs an event loop; it ends with the process anyway. PrepareDecoder starts one if
// none waits (the main window calls it when it is shown).
void PrepareDecoder();
void SetDecoderIdleTime(std::chrono::milliseconds idle);

// The name of the helper's executable, and the environment variable that only it reads, for
// tests alone: "crash" makes it die of a segmentation fault, "hang" makes it wait forever,
// "memory" makes it ask for more memory than its limit, each before it decodes.
inline constexpr const char* kDecoderHelperName = "tavrino-wallpaper-decoder";
inline constexpr const char* kDecoderFaultVariable = "TAVRINO_DECODER_FAULT";
// The helper's only switch: wait for one job on the standard input (see DecoderHelper.cpp).
inline constexpr const char* kAwaitJobSwitch = "--await-job";

}  // namespace tavrino
