# The libFuzzer targets, one source file each: fuzz/<name>.cpp.
set(VANTREL_FUZZ_TARGETS FrameFuzz IniFileFuzz PresetFileFuzz CatalogueFuzz DownloadConversionFuzz
  FirmwareFilesFuzz MeasurementFuzz ExactResponseFuzz TuneExchangeFuzz)
