// VRML 2.0 export. Every value VRML bounds to 0..1 (colours, intensities, shininess, transparency) is clamped to
// it, and shapes are written in scene coordinates, so any VRML browser shows the scene as the modeller does.
#include "modeller/files/o3du_write_vrml.h"

#include <algorithm>
#include <cmath>

#include "geometry/vector_math.h"
#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"

namespace {

double unit(double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; }
double number(double v) { return std::isfinite(v) ? v : 0.0; }

int segment_count(const CO3duTrianglePolys& set) {
    const int n = set.vertices.GetSize();
    switch (set.type) {
    case O3DU_SET_LINE_LIST: return n / 2;
    case O3DU_SET_LINE_STRIP: return std::max(0, n - 1);
    case O3DU_SET_INDEXED_LINES: return set.indices.GetSize() * 3 / 2;
    default: return 0;
    }
}

bool is_line_set(int type) {
    return type == O3DU_SET_LINE_LIST || type == O3DU_SET_LINE_STRIP || type == O3DU_SET_INDEXED_LINES;
}

void color_node(std::FILE* f, int count, const auto& rgb_of) {
    std::fputs("\t\tcolor Color\n\t\t{\n\t\t\tcolor[\n", f);
    for (int i = 0; i < count; ++i) {
        const OfuColorValue c = rgb_of(i);
        kz::crt::c_fprintf(f, "\t\t\t\t%.2f %.2f %.2f,\n", unit(c.r), unit(c.g), unit(c.b));
    }
    std::fputs("\t\t\t]\n\t\t}\n", f);
}

void index_block(std::FILE* f, const char* comment, int count, const auto& entry) {
    std::fprintf(f, "\t\t# %s\n\t\tcoordIndex[\n", comment);
    for (int i = 0; i < count; ++i) entry(i);
    std::fputs("\t\t]\n", f);
}

}  // namespace

void CO3duWriteVRML::WriteLight(std::FILE* f, CO3duModelar* modeller) {
    for (int i = 1; i <= 7; ++i) {
        OfuLight light;
        modeller->GetLight(i, light);
        if (light.type == OFU_LIGHT_DIRECTIONAL)
            kz::crt::c_fprintf(f, "DirectionalLight\n{\n\tdirection %.2f %.2f %.2f\n", number(light.direction.x),
                               number(light.direction.y), number(light.direction.z));
        else
            kz::crt::c_fprintf(f, "PointLight\n{\n\tlocation %.2f %.2f %.2f\n", number(light.position.x),
                               number(light.position.y), number(light.position.z));
        kz::crt::c_fprintf(f, "\tcolor %.2f %.2f %.2f\n", unit(light.diffuse.r), unit(light.diffuse.g),
                           unit(light.diffuse.b));
        kz::crt::c_fprintf(f, "\tambientIntensity %.2f\n",
                           unit((double(light.ambient.r) + light.ambient.g + light.ambient.b) / 3));
        std::fprintf(f, "\ton %s\n}\n", light.on ? "TRUE" : "FALSE");
    }
}

void CO3duWriteVRML::WriteNavigation(std::FILE* f, OfuLight headlight, double speed) {
    kz::crt::c_fprintf(f, "NavigationInfo\n{\n\tspeed %.2f\n\theadlight %s\n}\n", number(speed),
                       headlight.on ? "TRUE" : "FALSE");
}

double CO3duWriteVRML::WriteVertex(std::FILE* f, CO3duTrianglePolys& set) {
    std::fputs("\t\tcoord Coordinate\n\t\t{\n\t\t\tpoint[\n", f);
    const int n = set.vertices.GetSize();
    OfuVector3 lo, hi;
    for (int i = 0; i < n; ++i) {
        const OfuVector3& p = set.vertices[i].position;
        kz::crt::c_fprintf(f, "\t\t\t\t%.2f %.2f %.2f,\n", number(p.x), number(p.y), number(p.z));
        if (i == 0) lo = hi = p;
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    std::fputs("\t\t\t]\n\t\t}\n", f);
    return n > 0 ? length(hi - lo) : 0.0;
}

void CO3duWriteVRML::Write_LINELIST(std::FILE* f, CO3duTrianglePolys& set) {
    index_block(f, "LINELIST", set.vertices.GetSize() / 2,
                [&](int k) { std::fprintf(f, "\t\t\t%d,%d,-1\n", 2 * k, 2 * k + 1); });
}

void CO3duWriteVRML::Write_LINESTRIP(std::FILE* f, CO3duTrianglePolys& set) {
    index_block(f, "LINESTRIP", std::max(0, set.vertices.GetSize() - 1),
                [&](int i) { std::fprintf(f, "\t\t\t%d,%d,-1\n", i, i + 1); });
}

void CO3duWriteVRML::Write_TRIANGLELIST(std::FILE* f, CO3duTrianglePolys& set) {
    index_block(f, "TRIANGLELIST", set.vertices.GetSize() / 3,
                [&](int k) { std::fprintf(f, "\t\t\t%d,%d,%d,-1\n", 3 * k, 3 * k + 1, 3 * k + 2); });
}

void CO3duWriteVRML::Write_TRIANGLESTRIP(std::FILE* f, CO3duTrianglePolys& set) {
    // Every other triangle of a strip turns the other way; its corners are written reversed to face as the rest.
    index_block(f, "TRIANGLESTRIP", std::max(0, set.vertices.GetSize() - 2), [&](int k) {
        const int i = k + 2;
        if (i % 2 == 0)
            std::fprintf(f, "\t\t\t%d,%d,%d,-1\n", i - 2, i - 1, i);
        else
            std::fprintf(f, "\t\t\t%d,%d,%d,-1\n", i, i - 1, i - 2);
    });
}

void CO3duWriteVRML::Write_TRIANGLEFAN(std::FILE* f, CO3duTrianglePolys& set) {
    index_block(f, "TRIANGLEFAN", std::max(0, set.vertices.GetSize() - 2),
                [&](int k) { std::fprintf(f, "\t\t\t%d,%d,%d,-1\n", 0, k + 1, k + 2); });
}

void CO3duWriteVRML::Write_INDEX(std::FILE* f, CO3duTrianglePolys& set) {
    index_block(f, "INDEX", set.indices.GetSize(), [&](int k) {
        const _O3duVertexIndex& t = set.indices[k];
        std::fprintf(f, "\t\t\t%d,%d,%d,-1\n", t.a, t.b, t.c);
    });
}

void CO3duWriteVRML::Write_INDEXLINE(std::FILE* f, CO3duTrianglePolys& set) {
    auto flat = [&](int j) {
        const _O3duVertexIndex& t = set.indices[j / 3];
        return j % 3 == 0 ? t.a : j % 3 == 1 ? t.b : t.c;
    };
    index_block(f, "INDEXLINE", segment_count(set),
                [&](int k) { std::fprintf(f, "\t\t\t%d,%d,-1\n", flat(2 * k), flat(2 * k + 1)); });
}

void CO3duWriteVRML::WritePolys_COLOR(std::FILE* f, CO3duTrianglePolys& set) {
    std::fputs("\t\tcolorPerVertex TRUE\n", f);
    color_node(f, set.vertices.GetSize(), [&](int i) {
        const float* c = set.vertices[i].color;
        return OfuColorValue{c[0], c[1], c[2], c[3]};
    });
    std::fputs("\t}\n", f);
}

void CO3duWriteVRML::WritePolys_LINECOLOR(std::FILE* f, CO3duTrianglePolys& set) {
    std::fputs("\t\tcolorPerVertex FALSE\n", f);
    const _OfuMaterial& m = set.material;
    const OfuColorValue sum{m.diffuse.r + m.ambient.r, m.diffuse.g + m.ambient.g, m.diffuse.b + m.ambient.b, 1.0f};
    color_node(f, segment_count(set), [&](int) { return sum; });
    std::fputs("\t}\n", f);
}

void CO3duWriteVRML::WritePolys_MAT(std::FILE* f, CO3duTrianglePolys& set) {
    const _OfuMaterial& m = set.material;
    std::fputs("\t\tcolorPerVertex FALSE\n\t}\n\tappearance Appearance\n\t{\n\t\tmaterial Material\n\t\t{\n", f);
    kz::crt::c_fprintf(f, "\t\t\tambientIntensity %.2f\n", unit((double(m.ambient.r) + m.ambient.g + m.ambient.b) / 3));
    kz::crt::c_fprintf(f, "\t\t\tdiffuseColor %.2f %.2f %.2f\n", unit(m.diffuse.r), unit(m.diffuse.g),
                       unit(m.diffuse.b));
    kz::crt::c_fprintf(f, "\t\t\tspecularColor %.2f %.2f %.2f\n", unit(m.specular.r), unit(m.specular.g),
                       unit(m.specular.b));
    // VRML's shininess is the specular exponent over 128.
    kz::crt::c_fprintf(f, "\t\t\tshininess %.2f\n", unit(m.power / 128.0));
    kz::crt::c_fprintf(f, "\t\t\ttransparency %.2f\n\t\t}\n\t}\n", unit(1.0 - m.diffuse.a));
}

void CO3duWriteVRML::WriteNormal(std::FILE* f, CO3duTrianglePolys& set) {
    std::fputs("\t\tnormal Normal\n\t\t{\n\t\t\tvector[\n", f);
    for (int i = 0; i < set.vertices.GetSize(); ++i) {
        const OfuVector3& n = set.vertices[i].normal;
        kz::crt::c_fprintf(f, "\t\t\t\t%.2f %.2f %.2f,\n", number(n.x), number(n.y), number(n.z));
    }
    std::fputs("\t\t\t]\n\t\t}\n", f);
}

double CO3duWriteVRML::WritePolys(std::FILE* f, CO3duTrianglePolys& set) {
    if (set.type < O3DU_SET_LINE_LIST || set.type > O3DU_SET_INDEXED_LINES) return 0.0;
    std::fprintf(f, "Shape\n{\n\tgeometry \t%s\n\t{\n", is_line_set(set.type) ? "IndexedLineSet" : "IndexedFaceSet");
    const double diagonal = WriteVertex(f, set);
    switch (set.type) {
    case O3DU_SET_LINE_LIST: Write_LINELIST(f, set); break;
    case O3DU_SET_LINE_STRIP: Write_LINESTRIP(f, set); break;
    case O3DU_SET_TRIANGLE_LIST: Write_TRIANGLELIST(f, set); break;
    case O3DU_SET_TRIANGLE_STRIP: Write_TRIANGLESTRIP(f, set); break;
    case O3DU_SET_TRIANGLE_FAN: Write_TRIANGLEFAN(f, set); break;
    case O3DU_SET_INDEXED_TRIANGLES: Write_INDEX(f, set); break;
    default: Write_INDEXLINE(f, set); break;
    }
    if (set.material_type == O3DU_MATERIAL_VERTEX_COLOR)
        WritePolys_COLOR(f, set);
    else if (is_line_set(set.type))
        WritePolys_LINECOLOR(f, set);
    else
        WritePolys_MAT(f, set);
    std::fputs("}\n", f);
    return diagonal;
}

double CO3duWriteVRML::WritePrimitive(std::FILE* f, CO3duPrimitive& primitive) {
    if ((primitive.draw_mode & O3DU_DRAW_HIDDEN) || primitive.kind == 1) return 0.0;
    double largest = 0.0;
    for (int s = 0; s < primitive.sets.GetSize(); ++s) {
        // Positions go out where the shape stands in the scene.
        CO3duTrianglePolys placed = primitive.sets[s];
        for (int i = 0; i < placed.vertices.GetSize(); ++i)
            TransformPointByMatrix4x4(primitive.model_matrix, placed.vertices[i].position);
        largest = std::max(largest, WritePolys(f, placed));
    }
    return largest;
}

int CO3duWriteVRML::Write(const char* path, CO3duModelar* modeller) {
    if (!modeller || !path) return 0;
    kz::platform::FileWriter out(path);
    if (!out.is_open()) return 0;
    std::FILE* f = out.stream();
    std::fputs("#VRML V2.0 utf8\n", f);
    WriteLight(f, modeller);
    CO3duPosList shapes;
    modeller->GetPosArray(shapes);
    double speed = 0.0;
    for (int i = 0; i < shapes.GetSize(); ++i) {
        CO3duPrimitive primitive;
        modeller->GetPrimitive(shapes[i], primitive, O3DU_PRIM_ALL);
        speed = std::max(speed, WritePrimitive(f, primitive));
    }
    OfuLight headlight;
    modeller->GetLight(0, headlight);
    WriteNavigation(f, headlight, speed);
    return out.commit() ? 1 : 0;
}
