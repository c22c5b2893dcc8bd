#include "SvgPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// --- Picture layout, px -------------------------------------------------------
const int kWidth = 520, kHeight = 520, kMargin = 60;
const double kDetMin = 0.001, kDetMax = 0.6;   // DET axes range (probability)
const int kBins = 40;
const double kNotScored = 1e8;                 // scores at or above: the trial was refused

class CSvg {
public:
    explicit CSvg(const std::string& path) : m_f(std::fopen(path.c_str(), "w"))
    {
        if (m_f)
            std::fprintf(m_f, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
                              "font-family=\"sans-serif\" font-size=\"12\">\n<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
                         kWidth, kHeight);
    }
    ~CSvg() { Close(); }
    bool Ok() const { return m_f != nullptr; }
    int Close()
    {
        if (!m_f) return 0;
        std::fprintf(m_f, "</svg>\n");
        const int ok = std::fclose(m_f) == 0;
        m_f = nullptr;
        return ok;
    }
    void Line(double x1, double y1, double x2, double y2, const char* colour, double width = 1.0)
    {
        std::fprintf(m_f, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"%.1f\"/>\n",
                     x1, y1, x2, y2, colour, width);
    }
    void Text(double x, double y, const char* anchor, const std::string& text)
    {
        std::fprintf(m_f, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\">%s</text>\n", x, y, anchor, text.c_str());
    }
    void Polyline(const std::vector<std::pair<double, double>>& pts, const char* colour)
    {
        std::fprintf(m_f, "<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"2\" points=\"", colour);
        for (const auto& p : pts) std::fprintf(m_f, "%.1f,%.1f ", p.first, p.second);
        std::fprintf(m_f, "\"/>\n");
    }
    void Rect(double x, double y, double w, double h, const char* colour)
    {
        std::fprintf(m_f, "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\" fill-opacity=\"0.5\"/>\n",
                     x, y, w, h, colour);
    }
    void Circle(double x, double y, const char* colour)
    {
        std::fprintf(m_f, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"5\" fill=\"%s\"/>\n", x, y, colour);
    }
private:
    std::FILE* m_f;
};

double Fraction(const std::vector<double>& sorted, double t, bool above)
{
    if (sorted.empty()) return 0.0;
    const size_t atOrBelow = static_cast<size_t>(std::upper_bound(sorted.begin(), sorted.end(), t) - sorted.begin());
    return above ? static_cast<double>(sorted.size() - atOrBelow) / sorted.size()
                 : static_cast<double>(atOrBelow) / sorted.size();
}

std::string Percent(double p)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), p < 0.01 ? "%.1f%%" : "%.0f%%", 100.0 * p);
    return buf;
}

} // namespace

double CSvgPlot::Probit(double p)
{
    static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
                               1.383577518672690e+02, -3.066479806614716e+01, 2.506628277459239e+00};
    static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                               6.680131188771972e+01, -1.328068155288572e+01};
    static const double c[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                               -2.549732539343734e+00, 4.374664141464968e+00, 2.938163982698783e+00};
    static const double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                               3.754408661907416e+00};
    p = std::clamp(p, 1e-12, 1.0 - 1e-12);
    const double low = 0.02425;
    if (p < low) {
        const double q = std::sqrt(-2 * std::log(p));
        return (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
               ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    }
    if (p > 1 - low) return -Probit(1 - p);
    const double q = p - 0.5, r = q * q;
    return (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
           (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
}

int CSvgPlot::WriteDet(const std::string& path, const std::vector<double>& genuine,
                       const std::vector<double>& impostor, double threshold)
{
    CSvg svg(path);
    if (!svg.Ok()) return 0;
    const double lo = Probit(kDetMin), hi = Probit(kDetMax);
    const double span = kWidth - 2 * kMargin;
    auto px = [&](double p) { return kMargin + span * (Probit(std::clamp(p, kDetMin, kDetMax)) - lo) / (hi - lo); };
    auto py = [&](double p) { return kHeight - kMargin - span * (Probit(std::clamp(p, kDetMin, kDetMax)) - lo) / (hi - lo); };
    for (double t : {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.4, 0.6}) {
        svg.Line(px(t), py(kDetMin), px(t), py(kDetMax), "#ddd");
        svg.Line(px(kDetMin), py(t), px(kDetMax), py(t), "#ddd");
        svg.Text(px(t), kHeight - kMargin + 16, "middle", Percent(t));
        svg.Text(kMargin - 6, py(t) + 4, "end", Percent(t));
    }
    svg.Line(px(kDetMin), py(kDetMin), px(kDetMax), py(kDetMax), "#bbb");
    svg.Text(kWidth / 2.0, kHeight - 16, "middle", "false acceptance rate");
    svg.Text(16, kHeight / 2.0, "middle", "FRR");
    svg.Text(kWidth / 2.0, 24, "middle", "DET curve");

    std::vector<double> g = genuine, im = impostor;
    std::sort(g.begin(), g.end());
    std::sort(im.begin(), im.end());
    std::vector<double> cuts = g;
    cuts.insert(cuts.end(), im.begin(), im.end());
    std::sort(cuts.begin(), cuts.end());
    std::vector<std::pair<double, double>> pts;
    for (double t : cuts) pts.emplace_back(px(Fraction(im, t, false)), py(Fraction(g, t, true)));
    svg.Polyline(pts, "#1f5fbf");
    svg.Circle(px(Fraction(im, threshold, false)), py(Fraction(g, threshold, true)), "#d03030");
    return svg.Close();
}

int CSvgPlot::WriteHistogram(const std::string& path, const std::vector<double>& genuine,
                             const std::vector<double>& impostor, double threshold)
{
    CSvg svg(path);
    if (!svg.Ok()) return 0;
    // Trials that were never scored (refused takes, kNotScored and above)
    // are counted in the caption, not drawn: they would stretch the axis.
    std::vector<double> all;
    size_t unscored = 0;
    for (const std::vector<double>* v : {&genuine, &impostor})
        for (double x : *v) {
            if (std::isfinite(x) && x < kNotScored) all.push_back(x);
            else ++unscored;
        }
    if (all.empty()) return svg.Close();
    std::sort(all.begin(), all.end());
    // The range covers 99 % of the scores, so that a few far impostors do not
    // squeeze the interesting part into one bin.
    const double lo = all.front();
    double hi = std::max(all[static_cast<size_t>(0.99 * (all.size() - 1))], threshold * 1.2);
    if (!(hi > lo)) hi = lo + 1.0;
    const double width = (hi - lo) / kBins;
    auto count = [&](const std::vector<double>& v) {
        std::vector<double> h(kBins, 0.0);
        for (double s : v)
            if (std::isfinite(s) && s < kNotScored) h[std::clamp(static_cast<int>((s - lo) / width), 0, kBins - 1)] += 1.0;
        for (double& x : h) x /= std::max<size_t>(1, v.size());
        return h;
    };
    const std::vector<double> hg = count(genuine), hi2 = count(impostor);
    const double top = std::max(*std::max_element(hg.begin(), hg.end()), *std::max_element(hi2.begin(), hi2.end()));
    const double plotW = kWidth - 2 * kMargin, plotH = kHeight - 2 * kMargin;
    for (int b = 0; b < kBins; ++b) {
        const double x = kMargin + plotW * b / kBins;
        svg.Rect(x, kHeight - kMargin - plotH * hg[b] / top, plotW / kBins, plotH * hg[b] / top, "#1f9f3f");
        svg.Rect(x, kHeight - kMargin - plotH * hi2[b] / top, plotW / kBins, plotH * hi2[b] / top, "#d03030");
    }
    const double tx = kMargin + plotW * (threshold - lo) / (hi - lo);
    svg.Line(tx, kMargin, tx, kHeight - kMargin, "black", 2);
    svg.Line(kMargin, kHeight - kMargin, kWidth - kMargin, kHeight - kMargin, "black");
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%.2f", lo);
    svg.Text(kMargin, kHeight - kMargin + 16, "middle", buf);
    std::snprintf(buf, sizeof(buf), "%.2f", hi);
    svg.Text(kWidth - kMargin, kHeight - kMargin + 16, "middle", buf);
    svg.Text(kWidth / 2.0, kHeight - 16, "middle", "fused distance (green: genuine, red: impostor, line: threshold)");
    svg.Text(kWidth / 2.0, 24, "middle", "Score histograms");
    std::snprintf(buf, sizeof(buf), "%zu trials refused before scoring (not drawn)", unscored);
    svg.Text(kWidth / 2.0, 40, "middle", buf);
    return svg.Close();
}
