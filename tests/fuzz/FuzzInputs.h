// The fuzzer's inputs for each reader, made from that reader's seed files.
#pragma once

#include "fuzz/FuzzCase.h"
#include "fuzz/FuzzMutation.h"

// The bytes of a history or template file: seed lines changed with separators, labels, markers,
// escapes and the envelope's magic, then encoded and sometimes damaged.
std::string ItemFileBytes(Rng& rng, const Seeds& seeds);

// The bytes of a settings.ini: keys and values changed (numbers at and past their limits, names,
// program lists, paste keys), sections and equals signs moved, then encoded and damaged.
std::string SettingsBytes(Rng& rng, const Seeds& seeds);

// An envelope to open (a sealed seed text with its fields changed: lengths, Base64, padding,
// colons, the magic; often with a tag that matches again), or a text and password to seal.
FuzzCase EnvelopeCase(Rng& rng, const Seeds& seeds);

// A filter and a list of entries: words taken from the entries and typed another way, odd
// units, long repetitive words against long repetitive texts.
FuzzCase FilterCase(Rng& rng, const Seeds& seeds);

// A CF_UNICODETEXT block with and without its NUL, of odd sizes, cut anywhere.
FuzzCase ClipboardCase(Rng& rng, const Seeds& seeds);
