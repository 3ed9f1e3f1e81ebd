#pragma once
// Decimal rounding of a double.

// value rounded to places decimal places, halves away from zero; negative places round to tens,
// hundreds and so on (1250 with -2 gives 1300).
[[nodiscard]] double rounded(double value, int places);
