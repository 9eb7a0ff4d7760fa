// Interim: the text steps draw nothing until the text layout lands.
#include "render/label_renderer.h"

void TLabelRenderer::DrawCheeseName(const TLabelDocument&) {}
void TLabelRenderer::DrawProduction(const TLabelDocument&) {}
void TLabelRenderer::DrawCheeseType(const TLabelDocument&) {}
void TLabelRenderer::DrawCheeseDate(const TLabelDocument&) {}
