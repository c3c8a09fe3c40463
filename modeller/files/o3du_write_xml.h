// CO3duWriteXML: writes one shape of a modeller as a Shift_JIS XML document: a `primitive` element (draw mode,
// model matrix, dimension) holding one `TrianglePolys` element per set with its material, vertices and index
// triangles. Element and attribute names are the system's Japanese words.
#pragma once
#include <cstdint>
#include <cstdio>

#include "modeller/o3du_modelar.h"

class CO3duWriteXML {
public:
    CO3duWriteXML() = default;
    CO3duWriteXML(const CO3duWriteXML&) = default;
    CO3duWriteXML& operator=(const CO3duWriteXML&) { return *this; }
    virtual ~CO3duWriteXML() = default;

    // The declaration and the shape; 1, or 0 (and the file as it was) for a null modeller or a failed write.
    static int WritePrimitive(const char* path, CO3duModelar* modeller, _OfuPosition* shape);
    // The `primitive` element at the given depth (one tab per level) into an open file; 1.
    static int WritePrimitiveFp(std::FILE* file, CO3duModelar* modeller, _OfuPosition* shape, int depth);
    static int WriteTrianglePolygons(std::FILE* file, CO3duTrianglePolys& set, int depth);
    static int WriteMaterial(std::FILE* file, _OfuMaterial& material, int depth);
    // One colour attribute: a blank, the name and "r,g,b,a".
    static int WriteColorValude(std::FILE* file, OfuColorValue& color, const char* name);
    static int WriteVertex(std::FILE* file, _O3duVertex& vertex, int depth);
    static int WriteIndex(std::FILE* file, const std::int32_t* triple, int depth);
};
