// Projects Natural Earth geometry (world-atlas, 1:50m) into pixel paths for
// the three map figures of the question paper.  draw_figures.py turns the
// paths into the JPEGs; this script only does geography.
//
//   node project_maps.mjs OUT_DIR RIVERS
//
// RIVERS is a file of river lines as GMT's `coast -I… -M` writes them from
// the WDBII rivers of GSHHG: segments of "lon lat" lines, each opened by a
// line beginning with ">".  It writes OUT_DIR/figure2.json, figure3.json and
// figure4.json, each holding
//   width, height          the picture size in pixels
//   land                   closed rings of the land areas (even-odd: holes are
//                          inland seas), clipped to the picture
//   lakes                  closed rings of the larger lakes, cut out of the land
//   coast, borders         open polylines: coastlines and land borders
//   rivers                 open polylines: the rivers (on the maps that show them)
//   riverLabels            [{label, x, y, dx, dy}] letters naming rivers: the
//                          letter stands dx, dy pixels from the point x, y
//                          on the river, joined to it by a leader line
//   parallels              [{lat, label, lines, at}] for the dashed parallels,
//                          `at` the pixel point where the label goes
//   places                 [{label, lon, lat, x, y, side, offset, kind}] the
//                          marked places; side and offset (pixels, when
//                          given) say where the label stands, and a label
//                          set farther out than usual gets a leader line;
//                          kind names the symbol drawn there ("dot", or the
//                          resource mined: "oil", "iron", "copper", "tin")
//   scale                  pixels per 1000 km at the map's centre

import {mkdirSync, readFileSync, writeFileSync} from 'node:fs';
import {createRequire} from 'node:module';
import path from 'node:path';
import * as d3 from 'd3-geo';
import * as topojson from 'topojson-client';

const require = createRequire(import.meta.url);
const countriesTopo = require('world-atlas/countries-50m.json');
const landTopo = require('world-atlas/land-50m.json');

const landFeature = topojson.feature(landTopo, landTopo.objects.land);
const coastMesh = topojson.mesh(landTopo, landTopo.objects.land);
// Arcs shared by two countries are land borders; the rest are coastline.
const borderMesh = topojson.mesh(countriesTopo, countriesTopo.objects.countries,
    (a, b) => a !== b);

// Natural Earth's land includes the lakes, so the larger lakes are cut out of
// it with the lake shorelines of GSHHG (low resolution), as shipped by
// Debian's python-cartopy-data.  The Caspian Sea is already water in Natural
// Earth's land and is left out here.
const LAKES_SHP = process.env.GSHHS_LAKES ||
    '/usr/share/cartopy/data/shapefiles/gshhs/l/GSHHS_l_L2';
const LAKE_MIN_KM2 = 1500;
const LAKE_MAX_KM2 = 300000;
const LAKE_MIN_WIDTH_KM = 14;
const EARTH_RADIUS_KM = 6371.0088;

// Reads the polygons of an ESRI shapefile (shape type 5) and the numeric
// field `area` of its table, as GeoJSON polygons with an `area` property
// (km²; negative for the wide stretches of rivers, which are not drawn).
function readLakes(base) {
    const shp = readFileSync(`${base}.shp`);
    const dbf = readFileSync(`${base}.dbf`);

    const records = dbf.readUInt32LE(4);
    const headerLength = dbf.readUInt16LE(8);
    const recordLength = dbf.readUInt16LE(10);
    const fields = [];
    for (let at = 32, offset = 1; dbf[at] !== 0x0d; at += 32) {
        const name = dbf.toString('latin1', at, at + 11).replace(/\0.*$/, '');
        const length = dbf[at + 16];
        fields.push({name, offset, length});
        offset += length;
    }
    const areaField = fields.find((f) => f.name === 'area');
    if (!areaField) throw new Error(`${base}.dbf has no area field`);
    const areas = [];
    for (let i = 0; i < records; i++) {
        const start = headerLength + i * recordLength + areaField.offset;
        areas.push(Number(dbf.toString('latin1', start, start + areaField.length).trim()));
    }

    const polygons = [];
    let at = 100;
    for (let i = 0; at < shp.length; i++) {
        const contentBytes = shp.readUInt32BE(at + 4) * 2;
        const content = at + 8;
        const type = shp.readInt32LE(content);
        if (type === 5) {
            const numParts = shp.readInt32LE(content + 36);
            const numPoints = shp.readInt32LE(content + 40);
            const parts = [];
            for (let k = 0; k < numParts; k++) parts.push(shp.readInt32LE(content + 44 + 4 * k));
            const pointsAt = content + 44 + 4 * numParts;
            const rings = parts.map((first, k) => {
                const last = k + 1 < numParts ? parts[k + 1] : numPoints;
                const ring = [];
                for (let n = first; n < last; n++) {
                    ring.push([shp.readDoubleLE(pointsAt + 16 * n), shp.readDoubleLE(pointsAt + 16 * n + 8)]);
                }
                return ring;
            });
            polygons.push({type: 'Feature', properties: {area: areas[i]},
                geometry: {type: 'Polygon', coordinates: rings}});
        }
        at = content + contentBytes;
    }
    return polygons;
}

// A lake ring wound the wrong way round would cover the rest of the globe.
function asSmallPolygon(feature) {
    if (d3.geoArea(feature) > 2 * Math.PI) {
        feature.geometry.coordinates = feature.geometry.coordinates.map((r) => [...r].reverse());
    }
    return feature;
}

const lakes = {
    type: 'FeatureCollection',
    features: readLakes(LAKES_SHP)
        .filter((f) => f.properties.area >= LAKE_MIN_KM2 && f.properties.area <= LAKE_MAX_KM2)
        .map(asSmallPolygon)
        // Area over shoreline length is about half the mean width: narrow
        // reservoirs along rivers would read as rivers, not lakes.
        .filter((f) => f.properties.area / (d3.geoLength(f) * EARTH_RADIUS_KM) >= LAKE_MIN_WIDTH_KM / 2),
};

// River lines as GMT writes them: segments of "lon lat" lines, each opened by
// a ">" header line.
function readRivers(file) {
    const lines = [];
    let current = null;
    for (const row of readFileSync(file, 'latin1').split('\n')) {
        if (row.startsWith('>')) {
            current = [];
            lines.push(current);
        } else if (row.trim() && current) {
            current.push(row.trim().split(/\s+/).slice(0, 2).map(Number));
        }
    }
    return {type: 'MultiLineString', coordinates: lines.filter((l) => l.length >= 2)};
}

// A path context that records what d3 draws as lists of pixel points.
function recorder() {
    const paths = [];
    let current = null;
    return {
        paths,
        moveTo(x, y) { current = {closed: false, pts: [[x, y]]}; paths.push(current); },
        lineTo(x, y) { current.pts.push([x, y]); },
        closePath() { if (current) current.closed = true; current = null; },
        arc() { throw new Error('points are not drawn as paths'); },
    };
}

const round = (v) => Math.round(v * 100) / 100;

function trace(projection, geometry) {
    const ctx = recorder();
    d3.geoPath(projection, ctx)(geometry);
    return ctx.paths
        .map((p) => ({closed: p.closed, pts: p.pts.map(([x, y]) => [round(x), round(y)])}))
        .filter((p) => p.pts.length >= 2);
}

// A parallel as a dense line of points, so that each short segment (a great
// circle arc to d3) stays on the parallel.
function parallel(lat, lon0, lon1) {
    const coordinates = [];
    for (let lon = lon0; lon <= lon1 + 1e-9; lon += 0.25) coordinates.push([lon, lat]);
    return {type: 'LineString', coordinates};
}

// The outline of a longitude/latitude box, sampled densely, to fit a
// projection to it.
function box(lon0, lon1, lat0, lat1) {
    const coordinates = [];
    for (let lon = lon0; lon <= lon1; lon += 0.5) coordinates.push([lon, lat0], [lon, lat1]);
    for (let lat = lat0; lat <= lat1; lat += 0.5) coordinates.push([lon0, lat], [lon1, lat]);
    return {type: 'MultiPoint', coordinates};
}

const figures = [
    {
        // South America in an azimuthal equal-area projection centred on the
        // continent, the whole continent from the Caribbean to Cape Horn.
        name: 'figure2',
        width: 385,
        height: 328,
        projection: d3.geoAzimuthalEqualArea().rotate([60, 22]),
        fit: {type: 'MultiPoint', coordinates: [
            [-81.4, -5.0], [-34.8, -7.2], [-72.0, 12.6], [-67.3, -55.9], [-74.8, -52.0],
        ]},
        margin: [[60, 14], [325, 318]],
        parallels: [
            {lat: 0, label: '0°', lon0: -120, lon1: 0, labelLon: -95},
            {lat: -30, label: '30°S', lon0: -120, lon1: 0, labelLon: -95},
        ],
        // Each place is drawn with the symbol of what is mined there, each
        // resource once, so that no two marks pair off by their drawing.
        // The copper mine lies in the narrow north of Chile, where a label
        // beside the mark would cover the coast; so every label stands the
        // same distance out to the west on a level leader, that of the
        // copper mine over the Pacific, and no mark or label is drawn
        // differently from the others.  The copper mark is the Sierra Gorda
        // mine, midway between the coast and the Argentine border.
        places: [
            {label: '1', lon: -66.0, lat: 8.8, side: 'w', offset: 27, kind: 'oil'},        // Orinoco belt
            {label: '2', lon: -50.2, lat: -6.0, side: 'w', offset: 27, kind: 'iron'},       // Carajás
            {label: '3', lon: -69.3, lat: -22.9, side: 'w', offset: 27, kind: 'copper'},    // Sierra Gorda
            {label: '4', lon: -66.8, lat: -18.3, side: 'w', offset: 27, kind: 'tin'},       // Huanuni
        ],
    },
    {
        // The United States with southern Canada and northern Mexico, in an
        // equal-area conic projection with standard parallels 29.5°N and 45.5°N.
        // The places are four cities of the Sun Belt, two of them on the
        // Gulf coast, so that the map alone does not single one out; every
        // label stands north of its dot.
        name: 'figure3',
        width: 474,
        height: 342,
        projection: d3.geoConicEqualArea().parallels([29.5, 45.5]).rotate([96, 0]),
        fit: box(-125, -67, 24, 49),
        margin: [[10, 16], [464, 332]],
        parallels: [
            {lat: 40, label: '40°N', lon0: -150, lon1: -40, labelLon: -66},
            {lat: 50, label: '50°N', lon0: -150, lon1: -40, labelLon: -66},
        ],
        places: [
            {label: '1', lon: -112.1, lat: 33.4, side: 'n'},   // Phoenix
            {label: '2', lon: -84.4, lat: 33.7, side: 'n'},    // Atlanta
            {label: '3', lon: -95.4, lat: 29.8, side: 'n'},    // Houston
            {label: '4', lon: -82.5, lat: 27.95, side: 'n'},   // Tampa
        ],
    },
    {
        // Europe in a conformal conic projection with standard parallels 40°N
        // and 60°N, central meridian 16°E.
        name: 'figure4',
        width: 648,
        height: 360,
        projection: d3.geoConicConformal().parallels([40, 60]).rotate([-16, 0]),
        fit: box(-12, 45, 35, 65),
        margin: [[0, 8], [648, 356]],
        parallels: [
            {lat: 45, label: '45°N', lon0: -60, lon1: 90, labelLon: -14},
        ],
        // Every label stands beside its dot, none on a leader: Rotterdam's
        // over the North Sea, Bergen's over the sea west of the fjords,
        // Seville's north-east of it, a little farther out than the others,
        // so that it sits above the Guadalquivir and leaves the river and the
        // coast of the Gulf of Cádiz in view (it hides a stretch of the
        // Guadiana's middle course instead).
        places: [
            {label: 'ア', lon: 4.5, lat: 51.9, side: 'nw'},    // Rotterdam
            {label: 'イ', lon: 5.3, lat: 60.4, side: 'w'},     // Bergen
            {label: 'ウ', lon: -6.0, lat: 37.4, side: 'ne', offset: 17.5},   // Seville
            {label: 'エ', lon: 37.6, lat: 55.8, side: 'e'},    // Moscow
        ],
        rivers: true,
        // Question 33 names the Rhine X and the Danube Y: each letter is
        // joined by a leader to a point on its river.
        riverLabels: [
            {label: 'X', lon: 7.02, lat: 50.84, dx: 17, dy: 0},    // the Lower Rhine between Cologne and Bonn
            {label: 'Y', lon: 24.6, lat: 43.68, dx: 0, dy: 14},    // the lower Danube
        ],
    },
];

// Least vertical distance, in pixels, from a marked place to a drawn parallel.
const MIN_GAP_TO_PARALLEL = 15;

function project(fig) {
    const projection = fig.projection.precision(0.1);
    projection.fitExtent(fig.margin, fig.fit);
    projection.clipExtent([[-4, -4], [fig.width + 4, fig.height + 4]]);

    const places = fig.places.map((p) => {
        const [x, y] = projection([p.lon, p.lat]);
        // A marker and its label (about 25 px out) must stay inside the picture.
        if (!(x >= 25 && x <= fig.width - 25 && y >= 25 && y <= fig.height - 25)) {
            throw new Error(`${fig.name}: place ${p.label} falls at ${x}, ${y}, too near the edge`);
        }
        // A dot on a drawn parallel stands out from the others by the picture
        // alone, so keep every place well clear of the dashed lines.
        for (const par of fig.parallels) {
            const gap = Math.abs(projection([p.lon, par.lat])[1] - y);
            if (gap < MIN_GAP_TO_PARALLEL) {
                throw new Error(`${fig.name}: place ${p.label} lies ${gap.toFixed(1)} px from ` +
                                `the parallel ${par.label}`);
            }
        }
        return {kind: 'dot', ...p, x: round(x), y: round(y)};
    });

    // Pixels per 1000 km along the parallel through the picture's centre.
    const centre = projection.invert([fig.width / 2, fig.height / 2]);
    const dLon = (1000 / (EARTH_RADIUS_KM * Math.cos(centre[1] * Math.PI / 180))) * 180 / Math.PI;
    const a = projection([centre[0] - dLon / 2, centre[1]]);
    const b = projection([centre[0] + dLon / 2, centre[1]]);
    const pxPer1000km = Math.hypot(b[0] - a[0], b[1] - a[1]);

    return {
        width: fig.width,
        height: fig.height,
        land: trace(projection, landFeature).filter((p) => p.closed),
        lakes: trace(projection, lakes).filter((p) => p.closed),
        coast: trace(projection, coastMesh),
        borders: trace(projection, borderMesh),
        rivers: fig.rivers ? trace(projection, rivers) : [],
        riverLabels: (fig.riverLabels || []).map((r) => {
            const [x, y] = projection([r.lon, r.lat]);
            return {label: r.label, x: round(x), y: round(y), dx: r.dx || 0, dy: r.dy || 0};
        }),
        parallels: fig.parallels.map((p) => ({
            lat: p.lat, label: p.label,
            at: projection([p.labelLon, p.lat]).map(round),
            lines: trace(projection, parallel(p.lat, p.lon0, p.lon1)),
        })),
        places,
        scale: round(pxPer1000km),
    };
}

const [outDir, riversFile] = process.argv.slice(2);
if (!outDir || !riversFile) {
    console.error('usage: node project_maps.mjs OUT_DIR RIVERS');
    process.exit(2);
}
const rivers = readRivers(riversFile);
mkdirSync(outDir, {recursive: true});
for (const fig of figures) {
    const data = project(fig);
    writeFileSync(path.join(outDir, `${fig.name}.json`), JSON.stringify(data));
    console.log(`${fig.name}: ${data.land.length} land rings, ${data.borders.length} border lines`);
}
