// SvgPlot.h - DET curve and score histograms as small SVG pictures.
//
// Scores are distances: lower means more like the enrolled speaker; a trial
// is accepted when its score is at or below the threshold.
#pragma once

#include <string>
#include <vector>

class CSvgPlot {
public:
    // DET curve (false rejection against false acceptance, both on normal-
    // deviate axes from 0.1 % to 60 %) with the operating point marked.
    // Returns 1 when the file was written.
    static int WriteDet(const std::string& path, const std::vector<double>& genuine,
                        const std::vector<double>& impostor, double threshold);
    // Overlaid histograms of the genuine and impostor scores, threshold marked.
    static int WriteHistogram(const std::string& path, const std::vector<double>& genuine,
                              const std::vector<double>& impostor, double threshold);
    // Inverse of the standard normal CDF (Acklam's rational approximation,
    // relative error below 1.2e-9). p in (0, 1).
    static double Probit(double p);
};
