// CO3duWriteVRML: writes a modeller's scene as a VRML 2.0 text file: lights 1 to 7, every visible shape's sets
// as indexed face and line sets (in scene coordinates) with their material or colours, and a navigation node whose
// speed follows the model's size. Textures are not exported; numbers have two decimals.
#pragma once
#include <cstdio>

#include "modeller/o3du_modelar.h"

class CO3duWriteVRML {
public:
    CO3duWriteVRML() = default;
    CO3duWriteVRML(const CO3duWriteVRML&) = default;
    CO3duWriteVRML& operator=(const CO3duWriteVRML&) { return *this; }
    virtual ~CO3duWriteVRML() = default;

    // 1 when the whole file was written; 0 (and the file as it was) for a null modeller or a failed write.
    static int Write(const char* path, CO3duModelar* modeller);

    static void WriteLight(std::FILE* file, CO3duModelar* modeller);
    static void WriteNavigation(std::FILE* file, OfuLight headlight, double speed);
    // All sets of one shape; nothing for a hidden shape or one drawn in window coordinates. The largest set
    // diagonal written.
    static double WritePrimitive(std::FILE* file, CO3duPrimitive& primitive);
    // One set (its positions as given); its diagonal, 0 for a set of points, which is not written.
    static double WritePolys(std::FILE* file, CO3duTrianglePolys& set);
    static double WriteVertex(std::FILE* file, CO3duTrianglePolys& set);
    static void Write_LINELIST(std::FILE* file, CO3duTrianglePolys& set);
    static void Write_LINESTRIP(std::FILE* file, CO3duTrianglePolys& set);
    static void Write_TRIANGLELIST(std::FILE* file, CO3duTrianglePolys& set);
    static void Write_TRIANGLESTRIP(std::FILE* file, CO3duTrianglePolys& set);
    static void Write_TRIANGLEFAN(std::FILE* file, CO3duTrianglePolys& set);
    static void Write_INDEX(std::FILE* file, CO3duTrianglePolys& set);
    // Indexed lines: the index triples read as one list taken two at a time, as they are drawn.
    static void Write_INDEXLINE(std::FILE* file, CO3duTrianglePolys& set);
    static void WritePolys_COLOR(std::FILE* file, CO3duTrianglePolys& set);
    static void WritePolys_LINECOLOR(std::FILE* file, CO3duTrianglePolys& set);
    static void WritePolys_MAT(std::FILE* file, CO3duTrianglePolys& set);
    static void WriteNormal(std::FILE* file, CO3duTrianglePolys& set);
};
