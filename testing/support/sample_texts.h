// Texts of the format that several suites read and write, with the records
// they stand for.
//
// The worked example is two conditions, Alpha and Beta, joined by the
// and-joiner:
//   "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ "
//   "--#--Beta--#----{--y--}----{--k2==b1--}--"
// Gamma is a third condition of the same shape, and Delta a condition that
// the reader rejects: its one parameter item "k4" has no "==".

#ifndef VANTREL_TESTING_SUPPORT_SAMPLE_TEXTS_H_
#define VANTREL_TESTING_SUPPORT_SAMPLE_TEXTS_H_

#include "support/records.h"
#include "vantrel/alert_definitions.h"

namespace vantrel_test {

inline constexpr char kAlphaText[] =
    "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}--";
inline constexpr char kBetaText[] = "--#--Beta--#----{--y--}----{--k2==b1--}--";
inline constexpr char kGammaText[] =
    "--#--Gamma--#----{--z--}----{--k3==c1--}--";
inline constexpr char kRejectedDeltaText[] =
    "--#--Delta--#----{--w--}----{--k4--}--";

// The worked example: Alpha " @@AND@@ " Beta.
inline constexpr char kWorkedExample[] =
    "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ "
    "--#--Beta--#----{--y--}----{--k2==b1--}--";

inline AlertDefinition AlphaRecord() {
  return Record("Alpha", "x", {Param("k1", {"a1", "a2"})});
}
inline AlertDefinition BetaRecord() {
  return Record("Beta", "y", {Param("k2", {"b1"})});
}
inline AlertDefinition GammaRecord() {
  return Record("Gamma", "z", {Param("k3", {"c1"})});
}

}  // namespace vantrel_test

#endif  // VANTREL_TESTING_SUPPORT_SAMPLE_TEXTS_H_
