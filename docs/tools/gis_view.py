# gis_view.py PLAN_IMAGE GEOPACKAGE OUT.png: a GIS view made by GDAL alone: the decoded plan placed by its world file,
# the plan_points layer burnt into it in the same declared system.
import sys
from osgeo import gdal, ogr
gdal.UseExceptions()
plan = gdal.Open(sys.argv[1])
scale = 2  # dots in metres; the plan drawn at twice its size
rgb = gdal.Translate("", plan, format="MEM", width=plan.RasterXSize * scale, height=plan.RasterYSize * scale,
                     rgbExpand="rgb" if plan.GetRasterBand(1).GetColorTable() else None, resampleAlg="nearest")
src = ogr.Open(sys.argv[2])
layer = src.GetLayerByName("plan_points")
mem = ogr.GetDriverByName("Memory").CreateDataSource("")
dots = mem.CreateLayer("dots", layer.GetSpatialRef(), ogr.wkbPolygon)
rings = mem.CreateLayer("rings", layer.GetSpatialRef(), ogr.wkbPolygon)
for f in layer:
    g = f.GetGeometryRef()
    d = ogr.Feature(dots.GetLayerDefn())
    d.SetGeometry(g.Buffer(0.35))
    dots.CreateFeature(d)
    r = ogr.Feature(rings.GetLayerDefn())
    r.SetGeometry(g.Buffer(0.5).Difference(g.Buffer(0.35)))
    rings.CreateFeature(r)
gdal.RasterizeLayer(rgb, [1, 2, 3], rings, burn_values=[255, 255, 255])
gdal.RasterizeLayer(rgb, [1, 2, 3], dots, burn_values=[200, 20, 20])
gdal.Translate(sys.argv[3], rgb, format="PNG")
