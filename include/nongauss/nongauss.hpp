#pragma once

// The non-Gaussian analysis of heart-rate variability as a library.
//
//   auto series = nongauss::Series::read_file("nsr001.txt");
//   nongauss::Settings settings;          // the tool's defaults
//   nongauss::Result r = nongauss::analyse(series, settings);
//   // r.sd_ms, r.lambda: the doubles the tool's summary line formats
//
//   auto rs = nongauss::analyse_scales(series, settings,
//                                      nongauss::log_spaced_scales(5, 1000, 20));
//
// Errors are nongauss::Error exceptions carrying the tool's messages; progress
// lines go to a Transcript of the caller's choice (discarded by default).

#include "nongauss/analysis.hpp"
#include "nongauss/annotations.hpp"
#include "nongauss/artefacts.hpp"
#include "nongauss/bootstrap.hpp"
#include "nongauss/clean.hpp"
#include "nongauss/error.hpp"
#include "nongauss/fixed_format.hpp"
#include "nongauss/formatted.hpp"
#include "nongauss/heap.hpp"
#include "nongauss/interval_flags.hpp"
#include "nongauss/masked.hpp"
#include "nongauss/number_reader.hpp"
#include "nongauss/number_text.hpp"
#include "nongauss/options.hpp"
#include "nongauss/output_file.hpp"
#include "nongauss/report.hpp"
#include "nongauss/result.hpp"
#include "nongauss/scan.hpp"
#include "nongauss/series.hpp"
#include "nongauss/settings.hpp"
#include "nongauss/stages.hpp"
#include "nongauss/surrogates.hpp"
#include "nongauss/synth.hpp"
#include "nongauss/table_shape.hpp"
#include "nongauss/tables.hpp"
#include "nongauss/thread_pool.hpp"
#include "nongauss/transcript.hpp"
#include "nongauss/tsv_field.hpp"
#include "nongauss/version.hpp"
