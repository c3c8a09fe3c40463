// CO3duWriteMesh3: writes a modeller's whole scene as an OM3 mesh file: header, thumbnail, textures, camera,
// lights, every shape with its sets, vertices and indices, then the view settings, the parallel camera and the
// shadow light. The chunk writers take the open stream and return 1 when their bytes went out.
#pragma once
#include <cstdio>

#include "modeller/o3du_modelar.h"

class CO3duWriteMesh3 {
public:
    CO3duWriteMesh3() = default;
    CO3duWriteMesh3(const CO3duWriteMesh3&) = default;
    CO3duWriteMesh3& operator=(const CO3duWriteMesh3&) { return *this; }
    virtual ~CO3duWriteMesh3() = default;

    // Writes the scene; with create 0 the stream goes behind what the file already holds. The file is replaced
    // only when everything was written: 1, or 0 with the file as it was.
    static int WriteModel(CO3duModelar& modeller, const char* path, int create);

    static int WriteHeader(std::FILE* file);
    static int WriteImageBmp(std::FILE* file, CO3duModelar& modeller);
    static int WriteTexture(std::FILE* file, const _OfuBitmap& image);
    static int WriteCamera(std::FILE* file, const _O3duCamera& camera);
    static int WriteLight(std::FILE* file, const OfuLight& light, int number);
    static int WritePrimitive(std::FILE* file, CO3duModelar& modeller, _OfuPosition* pos);
    static int WritePolygons(std::FILE* file, const CO3duTrianglePolys& set);
    static int WriteVertex(std::FILE* file, const _O3duVertex& vertex);
    static int WriteIndex(std::FILE* file, const _O3duVertexIndex& index);
    static int WriteEnv(std::FILE* file, CO3duModelar& modeller);
    static int WriteAxoCamera(std::FILE* file, const _O3duAxoCamera& camera);
    static int WriteShadowLight(std::FILE* file, const OfuLight& light);
};
