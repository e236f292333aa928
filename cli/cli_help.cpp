// The help and version texts of platovix-cli.
#include <platovix_version.h>

#include "cli/cli_options.h"

std::string CliHelpText() {
  return R"(Usage: platovix-cli [OPTIONS] COMMAND

Runs the microplate reader from scripts. Without options the port, reader
family and line settings come from the settings file of Platovix (which
platovix-cli only reads, never writes).

Commands:
  measure --primary NM [--reference NM]   measure a plate; prints the result
  analyse --layout FILE PLATE...          analyse saved plates (no reader needed)
  measure --assay FILE                    measure with an assay's filters and layout
  analyse --assay FILE PLATE...           analyse saved plates with an assay (QC verdict)
  report [--layout FILE] -o FILE.pdf PLATE
                                          the plate report of a saved plate, as PDF
  report --record UUID [--archive URL] -o FILE.pdf
                                          the plate report of an archived read, with
                                          its record's UUID and SHA-256; the stored
                                          assay unless --assay or --layout is given
  filters                                 print the wavelengths of positions 1 to 6
  calibrate P=NM [P=NM ...]               set position P (1-6) to NM (200-999, 0 clears)
  plate in | plate out                    move the plate carrier
  id                                      print the reader's identification number
  ports [--format json]                   list the serial devices present and the COMn
                                          of the settings file that lead to them
  archive list [--since DATE] [--assay NAME] [--plate-id ID] [--format json]
                                          the stored reads, newest first
  archive show UUID [--format json|csv]   one stored read
  archive export UUID... -o FILE          stored reads to FILE (.json, else CSV; --format asm:
                                          one Allotrope ASM document per read)
  archive verify                          check the archive's hash chain and file, and its
                                          head against the one last seen; exit 1 naming
                                          the first entry that does not match
  archive forward [--archive URL]         send the reads kept here to the lab archive
  archive forward --check                 find reads marked sent that the lab archive
                                          does not hold; exit 1 naming them
  archive init --archive URL [--grant ROLE]
                                          create or update the lab archive's tables (as
                                          their owner); ROLE may then store and read only

Reader options:
  --port COMn|DEVICE     COM1 to COM4 as set up in Platovix, or a device path
  --family digiscan|jupiter
                         the reader family (jupiter also serves the Expert)
  --baud N               line speed; data bits, parity and stop bits stay as set
  -y, --yes              confirm the Jupiter's plate request without asking
  --trace FILE           append a line trace of everything sent and received to
                         FILE (- for stderr); rotated at 10 MB into FILE.1

General options:
  -h, --help             print this help and exit
  --version              print the version and exit

Measure options:
  --format tsv|csv|json  tsv (default) is exactly the clipboard text of Platovix
  --format asm           Allotrope Simple Model JSON (plate-reader REC/2025/03)
  --report FILE.pdf      also write the plate report (with --layout: the analysis)
  --operator NAME        the report's operator; --title TEXT its title
  --comma                decimal comma (csv then separates fields with ';')
  --no-header            tsv without the filter/time line, csv without metadata
  -o, --output FILE      write the result to FILE (replaced only when complete)
  --repeat N --every S   kinetic series: N reads, one every S seconds; each read
                         is stamped with its start, completion and elapsed time
                         (json: an array)

Archive options (measure and archive):
  --plate-id ID          the plate's barcode or name, stored with the read (and
                         named in asm and the report)
  --archive URL          the lab archive (postgresql://host/db) or a SQLite file;
                         default: [Archive] Url= of the settings file, else
                         $XDG_DATA_HOME/platovix/archive.sqlite
  --no-archive           measure without storing the read (for scripts that keep
                         their own records)
  --record UUID          report: the archived read to report on (--archive then
                         names the archive to find it in)

Analysis options (measure and analyse):
  --layout FILE          the plate layout (a plate-shaped CSV, see the README);
                         adds the analysis: blank, standard curve, groups
  --assay FILE           an assay file (see the README): filters, layout, model,
                         weighting and QC rules; the options above override it
  --fit linear|4pl|5pl|quadratic|point-to-point
                         the standard curve's model (default 4pl)
  --weight none|1/y|1/y2 weighting of the standards in the fit (default none)
  --analysis-only        only the analysis (with tsv: the results table)
  --format json|csv|xlsx what analyse writes (default json; xlsx needs -o)
  --fail-on-qc           exit 4 when the assay's QC verdict is Fail (else 0)
  --kinetic rate|growth  analyse a series per well: the steepest window's rate
                         (mOD/min), or growth (µmax, doubling time, lag, K,
                         AUC, logistic fit); measure then writes the series to
                         -o FILE and the analysis to stdout; with --format
                         xlsx -o FILE.xlsx both go to the workbook (sheets
                         Series and Kinetics); --report FILE.pdf (measure and
                         analyse) writes the run's report: the plate of
                         curves and the per-well table
  --window N             reads in the sliding window (default 5)

Progress goes to stderr. The Jupiter asks on the terminal before it loads a
plate; without a terminal and without --yes the read is cancelled. Ctrl+C
aborts the running operation and releases the reader.

Exit codes:
  0 success   1 reader or line failure   2 reader not responding
  3 aborted   4 QC failed (with --fail-on-qc)
  5 the read is in no archive nor spool (the result is still printed)
  64 bad usage

Examples:
  platovix-cli --port /dev/ttyUSB0 --family digiscan measure --primary 450
  platovix-cli measure --primary 450 --reference 620 --format csv -o plate.csv
  platovix-cli measure --primary 405 --repeat 10 --every 60 --format json -o kinetic.json
  platovix-cli calibrate 2=492 5=0
  platovix-cli plate out && platovix-cli --yes measure --primary 450
  platovix-cli measure --primary 450 --reference 620 --layout elisa.csv --format json
  platovix-cli analyse --layout elisa.csv --format xlsx -o elisa.xlsx plate*.csv
  platovix-cli --yes measure --assay examples/elisa-assay.json --format json
  platovix-cli measure --primary 405 --repeat 30 --every 20 --kinetic rate -o series.json
  platovix-cli analyse --kinetic growth --layout growth.csv --format csv series.json
  platovix-cli ports --format json
)";
}

std::string CliVersionText() {
  return std::string("platovix-cli ") + PLATOVIX_VERSION + "\n" + PLATOVIX_COPYRIGHT + "\n" +
         PLATOVIX_LICENSE_NOTE + "\n";
}
