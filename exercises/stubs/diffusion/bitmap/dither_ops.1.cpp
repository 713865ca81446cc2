// Each byte rounded to a multiple of 1 << shift, its error spread in sixteenths: 7 to the pixel
// ahead, 3 below behind, 5 below and 1 below ahead, even rows left to right and odd rows back.
// Until then the picture is left as it is.
template <int N>
void diffuseRows(NBitmap*, int) {
}
