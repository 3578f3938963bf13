// Limits of the batch URL expansion.
#ifndef ZELVORA_FRONTEND_BATCHLIMITS_H
#define ZELVORA_FRONTEND_BATCHLIMITS_H

// The most URLs one batch range may expand to; a larger range stops the run
// instead of exhausting memory.
const long long kMaxBatchUrls = 100000;

// The most bytes of URL text one batch list may hold (long padded numbers
// or a long URL count against it too).
const long long kMaxBatchBytes = 128LL * 1024 * 1024;

#endif
