// SPDX-License-Identifier: GPL-2.0-or-later
// Inlining the walker's hot steps insists on: the per-pack step and the hand-over of each payload run run once
// per 2048 bytes, and a call would cost as much as a good part of their bodies.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define ALWAYS_INLINE [[gnu::always_inline]] inline
#define NOINLINE [[gnu::noinline]]
#else
#define ALWAYS_INLINE inline
#define NOINLINE
#endif
