// CO3duModelar: the abstract 3D modeller every caller of the library talks to. The 81 virtual operations keep
// their slot order; the base class implements the few with a default and the helpers built on the others.
#pragma once
#include <cstdint>

#include "geometry/o3du_list.h"
#include "geometry/primitive.h"
#include "modeller/o3du_records.h"
#include "modeller/o3du_win_types.h"
#include "modeller/texture_image.h"

class COfuShape;

// Flag bits of GetPrimitive / ChangePrimitive.
enum : long {
    O3DU_PRIM_GEOMETRY = 1,
    O3DU_PRIM_MATERIAL = 2,
    O3DU_PRIM_SET_TYPE = 4,
    O3DU_PRIM_TEXTURE = 8,
    O3DU_PRIM_DRAW_MODE = 16,
    O3DU_PRIM_MATRIX = 32,
    O3DU_PRIM_LAYER = 64,
    O3DU_PRIM_TEX_MATRIX = 128,
    O3DU_PRIM_POLYGON_MODE = 256,
    O3DU_PRIM_ALL = 511,
};

class CO3duModelar {
public:
    CO3duModelar() = default;
    CO3duModelar(const CO3duModelar&) {}
    CO3duModelar& operator=(const CO3duModelar&) { return *this; }

    /* 0 */ virtual ~CO3duModelar() = default;
    /* 1 */ virtual int Initialize(HDC hdc, _O3duViewport viewport) = 0;
    /* 2 */ virtual int Initialize(HDC hdc) = 0;
    /* 3 */ virtual void Finalize() = 0;
    /* 4 */ virtual HDC SetCurrent(HDC& hdc);
    /* 5 */ virtual HDC GetCurrent();
    /* 6 */ virtual void MoveShape(_OfuPosition* pos, OfuMatrix4x4& m);
    /* 7 */ virtual void RemoveShapeAt(_OfuPosition*& pos) = 0;
    /* 8 */ virtual void RemoveShapeAll() = 0;
    /* 9 */ virtual void MoveDepthToTail(_OfuPosition*& pos) = 0;
    /* 10 */ virtual void MoveDepthToHead(_OfuPosition*& pos) = 0;
    /* 11 */ virtual void GetPosArray(CO3duPosList& list) = 0;
    /* 12 */ virtual void GetCenterPoint(OfuVector3& center, int filter) = 0;
    /* 13 */ virtual void GetBoundingBox(OfuVector3& max, OfuVector3& min, int filter) = 0;
    /* 14 */ virtual void SetOffset(OfuVector3& offset) = 0;
    /* 15 */ virtual int HitTest(HDC hdc, int x, int y, _O3duSelect* results, int max) = 0;
    /* 16 */ virtual _OfuPosition* HitTestS(HDC hdc, int x, int y, _O3duSelect& select);
    /* 17 */ virtual void GetDepthToPoint3(HDC hdc, int x, int y, double& depth, OfuVector3& point) = 0;
    /* 18 */ virtual void DrawModel(HDC& hdc) = 0;
    /* 19 */ virtual void DeviceSetting();
    /* 20 */ virtual void GetBkColor(OfuColorValue& color) = 0;
    /* 21 */ virtual void SetBkColor(const OfuColorValue& color) = 0;
    /* 22 */ virtual void SetCullMode(int mode) = 0;
    /* 23 */ virtual int GetCullMode() = 0;
    /* 24 */ virtual void DrawTo24DIBPixel(HDC& hdc, BYTE* buffer, int size, _OFURECT& rect) = 0;
    /* 25 */ virtual int DrawStart(_OfuPosition*& pos);
    /* 26 */ virtual int PreDraw(_OfuPosition*& pos, OfuMatrix4x4& model_matrix, int pass);
    /* 27 */ virtual int DrawEnd(_OfuPosition*& pos, int passes);
    /* 28 */ virtual void GetCamera(_O3duCamera& camera) = 0;
    /* 29 */ virtual void SetCamera(const _O3duCamera& camera) = 0;
    /* 30 */ virtual int SetPersMode(int mode) = 0;
    /* 31 */ virtual int GetPersMode() = 0;
    /* 32 */ virtual void SetPersWindow(const _OFUDRECT& window) = 0;
    /* 33 */ virtual _OFUDRECT GetPersWindow() = 0;
    /* 34 */ virtual void GetAxoCamera(_O3duAxoCamera& camera) = 0;
    /* 35 */ virtual void SetAxoCamera(const _O3duAxoCamera& camera) = 0;
    /* 36 */ virtual int GetCameraMode() = 0;
    /* 37 */ virtual void SetCameraMode(int mode) = 0;
    /* 38 */ virtual void SetCameraForAllView_Low(int filter) = 0;
    /* 39 */ virtual void SetCameraForAllView_Hi(int filter) = 0;
    /* 40 */ virtual void PanTilt(double pan, double tilt);
    /* 41 */ virtual void Dolly(double x, double y, double z, int flag);
    /* 42 */ virtual void Fly(double x, double y, double z, int flag);
    /* 43 */ virtual void RoundDolly(double vertical, double horizontal);
    /* 44 */ virtual int ViewportZoom(OfuVector2 p1, OfuVector2 p2);
    /* 45 */ virtual void ApproachCamera(OfuVector2 point, double ratio, int pick, HDC hdc);
    /* 46 */ virtual void GetViewport(_O3duViewport& viewport) = 0;
    /* 47 */ virtual void SetViewport(_O3duViewport& viewport) = 0;
    /* 48 */ virtual void ResetViewport() = 0;
    /* 49 */ virtual void GetLight(int index, OfuLight& light) = 0;
    /* 50 */ virtual void SetLight(int index, OfuLight light) = 0;
    /* 51 */ virtual void GetShadowLight(OfuLight& light) = 0;
    /* 52 */ virtual void SetShadowLight(OfuLight light) = 0;
    /* 53 */ virtual void SetShadowColor(OfuColorValue color) = 0;
    /* 54 */ virtual OfuColorValue GetShadowColor();
    /* 55 */ virtual int GetShadowAccuracy() = 0;
    /* 56 */ virtual void SetShadowAccuracy(int accuracy) = 0;
    /* 57 */ virtual void SetCliping(int on, OfuPlane plane, OfuColorValue cap_color) = 0;
    /* 58 */ virtual void GetCliping(int& on, OfuPlane& plane, OfuColorValue& cap_color) = 0;
    /* 59 */ virtual _OfuPosition* AddPrimitive(CO3duPrimitive& primitive) = 0;
    /* 60 */ virtual _OfuPosition* ChangePrimitive(_OfuPosition* pos, CO3duPrimitive& primitive, long flags) = 0;
    /* 61 */ virtual void GetPrimitive(_OfuPosition* pos, CO3duPrimitive& primitive, long flags) = 0;
    /* 62 */ virtual unsigned int GetLayer(_OfuPosition* pos) = 0;
    /* 63 */ virtual void SetLayer(_OfuPosition* pos, unsigned int layer) = 0;
    /* 64 */ virtual unsigned int AddTexture(_OfuBitmap& image) = 0;
    /* 65 */ virtual int ChangeTexture(unsigned int id, _OfuBitmap& image) = 0;
    /* 66 */ virtual void RemoveAllTexture() = 0;
    /* 67 */ virtual int GetTexture(unsigned int index, _OfuBitmap& image) = 0;
    /* 68 */ virtual int GetTexCount() = 0;
    /* 69 */ virtual void SetProp1(_OfuPosition* pos, int key, int value) = 0;
    /* 70 */ virtual int GetProp1(_OfuPosition* pos, int key, int& value) = 0;
    /* 71 */ virtual DWORD GetProp2(_OfuPosition* pos, void* key, DWORD key_length, void* buffer,
                                    DWORD buffer_length) const = 0;
    /* 72 */ virtual int SetProp2(_OfuPosition* pos, void* key, DWORD key_length, void* value, DWORD value_length) = 0;
    /* 73 */ virtual int RemoveAtProp(_OfuPosition* pos, void* key, DWORD key_length) = 0;
    /* 74 */ virtual void SetProp3(_OfuPosition* pos, int key, std::uint64_t value) = 0;
    /* 75 */ virtual int GetProp3(_OfuPosition* pos, int key, std::uint64_t& value) = 0;
    /* 76 */ virtual void GetMatrix(_OfuPosition* pos, OfuMatrix4x4& m) = 0;
    /* 77 */ virtual void SetMatrix(_OfuPosition* pos, OfuMatrix4x4& m) = 0;
    /* 78 */ virtual void GetTexMatrix(_OfuPosition* pos, OfuMatrix4x4& m) = 0;
    /* 79 */ virtual void SetTexMatrix(_OfuPosition* pos, OfuMatrix4x4& m) = 0;
    /* 80 */ virtual void MemDCToBitmap(BYTE* pixels, int size, _OFURECT& rect, HDC hdc) = 0;

    // Helpers that work only through the operations above.
    void ShapeToPrimitive(const COfuShape& shape, CO3duPrimitive& primitive, int simplify, int solid);
    _OfuPosition* AddShape(const COfuShape& shape, int simplify, int solid);
    _OfuPosition* ChangeShape(_OfuPosition* pos, const COfuShape& shape, int simplify, int solid);
    void ChangeAlpha(_OfuPosition* pos, float alpha);
    void ChangeMaterial(_OfuPosition* pos, _OfuMaterial& material);
    long GetDrawMode(_OfuPosition*& pos);
    void SetDrawMode(_OfuPosition*& pos, long mode);
    void GetDepthToPoint3_Hi(HDC hdc, _O3duSelect& select, int x, int y, OfuVector3& point);
    void GetDepthToPoint3_Hi(HDC hdc, _OfuPosition* pos, int x, int y, double& depth, OfuVector3& point);
    // Linear camera moves over the given time, drawn as they go; each runs only in its own camera mode.
    void AnimationCamera(_O3duCamera from, _O3duCamera to, double milliseconds, HDC hdc);
    void AnimationAxoCamera(_O3duAxoCamera from, _O3duAxoCamera to, double milliseconds, HDC hdc);
};
