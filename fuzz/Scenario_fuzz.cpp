// SPDX-License-Identifier: GPL-3.0-or-later
// The scenario loader on any experiment.txt: the values it keeps are the ones the frames rely on.
#include "experiments/Experiment.h"
#include "fuzz/Fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tExperiment record;
    record.Clear();
    QString error;
    if (ParseExperiment(rovelin_fuzz::Bytes(data, size), record, error)) {
        FUZZ_CHECK(record.Average >= 1);
        FUZZ_CHECK(record.SeriesCount == 1 || record.SeriesCount == 2);
    } else {
        FUZZ_CHECK(!error.isEmpty());
    }
    return 0;
}
