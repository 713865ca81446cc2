// Light every pixel from (x0, y0) to (x1, y1) as the comment above says, each through plot.
// Until then a line shows only its first end point.
template <bool noted>
[[gnu::noinline]] static void walkLine(int x0, int y0, int x1, int y1, HDC dc, Colour c0,
                                       Colour c1) {
    const ScreenVertex start = endPoint(x0, y0, c0);
    const ScreenVertex end = endPoint(x1, y1, c1);
    plot<noted>(dc, start, end, x0, y0);
}
