// The edition of the program, fixed when an executable is built: the tax
// units' edition, or the reduced taxpayer edition ("Versão Contribuinte").
// Each executable links exactly one of the libraries stedition_unidade and
// stedition_contribuinte, which define it.
#pragma once

namespace stb {
extern const bool Contribuinte;
}
