// SPDX-License-Identifier: GPL-3.0-or-later
// The record files' file operations on Windows (placeholder, filled below).
