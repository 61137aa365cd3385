// The package Evalcomp as a designer meets it: a plugin loaded by path, its metadata, its
// registration, its resources and what it exports.
#include <gtest/gtest.h>

#include <QFile>
#include <QLibrary>
#include <QPluginLoader>
#include <cstring>

#include "Paquetes.h"

namespace {

const QString RUTA = QStringLiteral(EVALCOMP_RUTA);
const QString DESCRIPCION = QStringLiteral("Evalion y evaluador de expresiones");

TEST(Paquete, DescriptionWithoutLoadingTheCode)
{
    QPluginLoader Cargador(RUTA);
    const QJsonObject Datos = Cargador.metaData().value(QLatin1String("MetaData")).toObject();
    EXPECT_EQ(Datos.value(QLatin1String("Descripcion")).toString(), DESCRIPCION);
    EXPECT_EQ(Datos.value(QLatin1String("Paquete")).toString(), QLatin1String("Evalcomp"));
    EXPECT_FALSE(Cargador.isLoaded());
    EXPECT_EQ(Cargador.metaData().value(QLatin1String("IID")).toString(), QLatin1String(EVALION_IPAQUETE));
}

TEST(Paquete, RegistersExactlyTEvalionOnItsPage)
{
    TPaleta Paleta;
    QString Error;
    ASSERT_TRUE(Paleta.CargarPaquete(RUTA, Error)) << Error.toStdString();
    ASSERT_EQ(Paleta.Paquetes().size(), 1);
    EXPECT_EQ(Paleta.Paquetes()[0].Nombre, QLatin1String("Evalcomp"));
    EXPECT_EQ(Paleta.Paquetes()[0].Descripcion, DESCRIPCION);
    ASSERT_EQ(Paleta.Clases().size(), 1);
    EXPECT_EQ(Paleta.Clases()[0].Pagina, QLatin1String("Evalion"));
    EXPECT_STREQ(Paleta.Clases()[0].Meta->className(), "TEvalion");
    EXPECT_EQ(Paleta.Buscar(QStringLiteral("TEvalion")), &Paleta.Clases()[0]);
}

TEST(Paquete, NotAPackage)
{
    TPaleta Paleta;
    QString Error;
    EXPECT_FALSE(Paleta.CargarPaquete(RUTA + QLatin1String(".no"), Error));
    EXPECT_FALSE(Error.isEmpty());
    EXPECT_TRUE(Paleta.Clases().isEmpty());
}

// The description resource is the UTF-16 text, without a terminator.
TEST(Paquete, DescriptionResource)
{
    TPaleta Paleta;
    QString Error;
    ASSERT_TRUE(Paleta.CargarPaquete(RUTA, Error)) << Error.toStdString();
    QFile Recurso(QStringLiteral(":/Evalcomp/DESCRIPTION"));
    ASSERT_TRUE(Recurso.open(QIODevice::ReadOnly));
    const QByteArray Bytes = Recurso.readAll();
    ASSERT_EQ(Bytes.size(), 68);
    QString Texto;
    for (qsizetype i = 0; i < Bytes.size(); i += 2)
        Texto += QChar(static_cast<char16_t>(static_cast<uchar>(Bytes[i]) | static_cast<uchar>(Bytes[i + 1]) << 8));
    EXPECT_EQ(Texto, DESCRIPCION);
}

// 24 x 24 pixels, 4 bits per pixel, and exactly the standard 16-colour palette.
TEST(Paquete, PaletteBitmap)
{
    const uint32_t ESTANDAR[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                   0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                   0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    TPaleta Paleta;
    QString Error;
    ASSERT_TRUE(Paleta.CargarPaquete(RUTA, Error)) << Error.toStdString();
    QFile Recurso(QStringLiteral(":/Evalcomp/TEVALION"));
    ASSERT_TRUE(Recurso.open(QIODevice::ReadOnly));
    const QByteArray Bmp = Recurso.readAll();
    ASSERT_GE(Bmp.size(), 54 + 64);
    const auto Leer = [&Bmp](int Desde, int Bytes) {
        uint32_t Valor = 0;
        for (int i = Bytes - 1; i >= 0; --i)
            Valor = Valor << 8 | static_cast<uchar>(Bmp[Desde + i]);
        return Valor;
    };
    EXPECT_EQ(Bmp.left(2), QByteArray("BM"));
    EXPECT_EQ(Leer(18, 4), 24u); // width
    EXPECT_EQ(Leer(22, 4), 24u); // height
    EXPECT_EQ(Leer(28, 2), 4u);  // bits per pixel
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Leer(54 + 4 * i, 3), ESTANDAR[i]); // stored blue, green, red
    }
    const QImage Imagen = Paleta.Bitmap(Paleta.Clases()[0]);
    EXPECT_EQ(Imagen.size(), QSize(24, 24));
    EXPECT_EQ(Imagen.colorCount(), 16);
}

struct CasoSimbolo {
    const char *Simbolo;
    bool Exportado;
};

// Applications reach the component and Register; the engine and the palette plumbing stay inside.
TEST(Paquete, ExportsTheComponentOnly)
{
    const CasoSimbolo Casos[] = {
        {"_Z8Registerv", true},
        {"_ZN8TEvalionC1EP7QObject", true},
        {"_ZN8TEvalion8AnalizarEPKc", true},
        {"_ZN8TEvalion8AnalizarERK10QByteArray", true},
        {"_ZN8TEvalion8AnalizarERK7QString", true},
        {"_ZNK8TEvalion19GetSeparadorDecimalEv", true},
        {"_ZN8TEvalion19SetSeparadorDecimalEc", true},
        {"_ZNK8TEvalion18GetSeparadorMillarEv", true},
        {"_ZN8TEvalion18SetSeparadorMillarEc", true},
        {"_ZN8TEvalion16_AlPedirVariableEPvPcP13BLOQUEDEDATOS", true},
        {"_ZN8TEvalion15_AlPedirFuncionEPvPcP13BLOQUEDEDATOSiS3_", true},
        {"_ZN5Motor8AnalizarEP16ESTADODEANALISISPKc", false},
        {"_ZN5Motor14SiguienteTokenEP16ESTADODEANALISIS", false},
        {"A_Analizar", false},
    };
    QLibrary Biblioteca(RUTA);
    ASSERT_TRUE(Biblioteca.load()) << Biblioteca.errorString().toStdString();
    for (const CasoSimbolo &Caso : Casos) {
        SCOPED_TRACE(Caso.Simbolo);
        EXPECT_EQ(Biblioteca.resolve(Caso.Simbolo) != nullptr, Caso.Exportado);
    }
}

} // namespace
