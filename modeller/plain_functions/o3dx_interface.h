// The plain-function interface for host programs that cannot use the classes: up to 16 OpenGL modellers in a
// process-wide table, addressed by their slot number. Every argument goes by reference or as a pointer to
// doubles. A handle outside 0..15 or of a free slot makes every function return 0 (or null) and touch nothing.
#pragma once
#include <cstdint>

#include "modeller/o3du_modelar.h"

// The interface's "long": 32 bits wherever the library is built, as host programs pass it.
using O3DXLONG = std::int32_t;

// Frees every slot (a modeller still open is destroyed); 1.
O3DXLONG O3dxCreate();
// Destroys every modeller of the table; 1.
O3DXLONG O3dxDelete();
// A new modeller on the device context, its camera fitted to the (empty) scene; its handle, or -1 when all 16
// slots are taken.
O3DXLONG O3dxOpen(HDC& hdc);
O3DXLONG O3dxInitialize(O3DXLONG& h, HDC& hdc);
O3DXLONG O3dxDrawModel(O3DXLONG& h, HDC& hdc);
// The whole OM3 file as one new shape, or null.
_OfuPosition* O3dxRead(O3DXLONG& h, const char* path);
O3DXLONG O3dxWrite(O3DXLONG& h, const char* path);

// Shapes from plain coordinates: an outline of n (x, y) pairs extruded from start to end (three doubles each);
// the same with holes (counts[k] pairs per loop, the first loop the outline); a flat polygon with holes from
// (x, y, z) triples.
_OfuPosition* O3dxAddExtruded(O3DXLONG& h, double* xy, O3DXLONG& n, double* start, double* end);
_OfuPosition* O3dxAddHoleExtruded(O3DXLONG& h, double* xy, O3DXLONG* counts, O3DXLONG& loops, double* start,
                                  double* end);
_OfuPosition* O3dxAddPolyPolygon(O3DXLONG& h, double* xyz, O3DXLONG* counts, O3DXLONG loops);

// Copies a shape into the interface's one current primitive; O3dxAddPrimitive adds a copy of it to a modeller
// (null before any O3dxGetPrimitive).
O3DXLONG O3dxGetPrimitive(O3DXLONG& h, _OfuPosition*& shape);
_OfuPosition* O3dxAddPrimitive(O3DXLONG& h);
O3DXLONG O3dxRemoveShapeAt(O3DXLONG& h, _OfuPosition*& shape);
_OfuPosition* O3dxHitTest(O3DXLONG& h, O3DXLONG& x, O3DXLONG& y, HDC& hdc);

// Each changes only what it names.
O3DXLONG O3dxSetDrawMode(O3DXLONG& h, _OfuPosition*& shape, O3DXLONG& mode);
O3DXLONG O3dxSetMatrix(O3DXLONG& h, _OfuPosition*& shape, double* m16);
// New alpha, or a material from a colour, for every set; the shape then moves to the end of the drawing order
// when it became translucent and to the start otherwise, and `shape` receives its new handle, which is also the
// result (null for a shape the modeller does not hold).
_OfuPosition* O3dxSetAlpha(O3DXLONG& h, _OfuPosition*& shape, double& alpha);
O3DXLONG O3dxSetMaterial(O3DXLONG& h, _OfuPosition*& shape, double* rgba, double ambient, double diffuse,
                         double specular, double power);
O3DXLONG O3dxSetProp(O3DXLONG& h, _OfuPosition*& shape, O3DXLONG& key, O3DXLONG& value);
// A key the shape does not have gives value 0.
O3DXLONG O3dxGetProp(O3DXLONG& h, _OfuPosition*& shape, O3DXLONG& key, O3DXLONG& value);
O3DXLONG O3dxSetBkColor(O3DXLONG& h, double* rgb);

// Camera: eye x, y, z, target x, y, z, field of view (degrees), near, far, aspect ratio.
O3DXLONG O3dxGetCamera(O3DXLONG& h, double* camera10);
O3DXLONG O3dxSetCamera(O3DXLONG& h, double* camera10);
// Light: type (0 positional, else directional), diffuse, ambient and specular RGBA, position, direction, on,
// linear attenuation.
O3DXLONG O3dxGetLight(O3DXLONG& h, O3DXLONG& index, double* light21);
O3DXLONG O3dxSetLight(O3DXLONG& h, O3DXLONG& index, double* light21);
O3DXLONG O3dxPanTilt(O3DXLONG& h, double& pan, double& tilt);
O3DXLONG O3dxRoundDolly(O3DXLONG& h, double& vertical, double& horizontal);
O3DXLONG O3dxDolly(O3DXLONG& h, double& forward, double& left, double& up, O3DXLONG& eye_only);
O3DXLONG O3dxFly(O3DXLONG& h, double& forward, double& right, double& up, O3DXLONG& eye_only);
O3DXLONG O3dxApproachCamera(O3DXLONG& h, double& x, double& y, double& ratio, O3DXLONG& pick, HDC& hdc);
O3DXLONG O3dxAnimationCamera(O3DXLONG& h, double* from10, double* to10, double& milliseconds, HDC& hdc);
O3DXLONG O3dxSetCameraForAllView(O3DXLONG& h, O3DXLONG& milliseconds, HDC& hdc);
