"""The three skins: palette, shapes and lettering of each."""
from .paint import MONO, SANS, SERIF, rgb
from .words import N_

CLASSIC = dict(
    number=0, name='Classic', seed=11,
    shape='round', radius=7, pattern='lattice',
    bg_top=rgb('#0a1833'), bg_bottom=rgb('#1b3a72'), pattern_colour=rgb('#f2c14e', 0.07),
    well_top=rgb('#0d2246'), well_bottom=rgb('#081630'), well_border=rgb('#d4a73f'),
    well_line=rgb('#3d64a8', 0.8),
    card=rgb('#16356b', 0.75), card_border=rgb('#4f7cc8', 0.9),
    tile_a=rgb('#132b57'), tile_b=rgb('#0f2349'), tile_line=rgb('#2b4c86', 0.6),
    text=rgb('#eef3ff'), text_dim=rgb('#a9bde3'), heading=rgb('#f6cf6a'),
    btn_top=rgb('#4277d8'), btn_bottom=rgb('#1a3b86'), btn_border=rgb('#061634'),
    btn_text=rgb('#fff3d2'), btn_shadow=rgb('#04102a', 0.9),
    lit_top=rgb('#fff3c2'), lit_bottom=rgb('#f0b43a'), lit_border=rgb('#ffffff'),
    lit_text=rgb('#3a2205'), lit_glow=rgb('#ffffff', 0.95), lit_shadow=rgb('#fff6d8', 0.8),
    accent=rgb('#f2c14e'), accent2=rgb('#5fd3ff'),
    title_family=SERIF, title_fill=(rgb('#fff6c9'), rgb('#f2c14e'), rgb('#b47a16')),
    title_outline=rgb('#3a2205'), title_tracking=1.0, title_upper=False,
    label_family=SANS, tagline=N_('a jewel of a puzzle'),
)

FOR_HER = dict(
    number=1, name='For Her', seed=23,
    shape='pill', radius=12, pattern='bokeh',
    bg_top=rgb('#ffd3e6'), bg_bottom=rgb('#dccbff'), pattern_colour=rgb('#ffffff', 0.35),
    well_top=rgb('#fff7fb'), well_bottom=rgb('#fbe3f0'), well_border=rgb('#e0609f'),
    well_line=rgb('#f4b9d6', 0.9),
    card=rgb('#ffffff', 0.75), card_border=rgb('#f0a3c8', 0.9),
    tile_a=rgb('#8a3a76'), tile_b=rgb('#743c88'), tile_line=rgb('#9c4f8a', 0.7),
    text=rgb('#5e1f47'), text_dim=rgb('#9a5b84'), heading=rgb('#c2357e'),
    btn_top=rgb('#ff97c6'), btn_bottom=rgb('#d9478f'), btn_border=rgb('#9c2462'),
    btn_text=rgb('#ffffff'), btn_shadow=rgb('#8a1c55', 0.8),
    lit_top=rgb('#ffffff'), lit_bottom=rgb('#ffc0e0'), lit_border=rgb('#ff4fa3'),
    lit_text=rgb('#b0125f'), lit_glow=rgb('#ffffff', 1.0), lit_shadow=rgb('#ffffff', 0.9),
    accent=rgb('#e0609f'), accent2=rgb('#9b7fe0'),
    title_family=SERIF, title_fill=(rgb('#ffffff'), rgb('#ff9fcd'), rgb('#d94791')),
    title_outline=rgb('#8e1d57'), title_tracking=1.5, title_upper=False,
    label_family=SANS, tagline=N_('sweet, sparkling, relaxing'),
)

FOR_HIM = dict(
    number=2, name='For Him', seed=37,
    shape='chamfer', radius=6, pattern='carbon',
    bg_top=rgb('#23272c'), bg_bottom=rgb('#0b0d0f'), pattern_colour=rgb('#ffffff', 0.035),
    well_top=rgb('#1f242a'), well_bottom=rgb('#14181c'), well_border=rgb('#ff7a1a'),
    well_line=rgb('#434b55', 0.9),
    card=rgb('#2a3038', 0.85), card_border=rgb('#56606c', 0.9),
    tile_a=rgb('#262b31'), tile_b=rgb('#1d2126'), tile_line=rgb('#3a424c', 0.8),
    text=rgb('#e8ebef'), text_dim=rgb('#97a2ad'), heading=rgb('#ff8a2a'),
    btn_top=rgb('#58616c'), btn_bottom=rgb('#2a3037'), btn_border=rgb('#050607'),
    btn_text=rgb('#ffb36b'), btn_shadow=rgb('#000000', 0.9),
    lit_top=rgb('#ffc070'), lit_bottom=rgb('#f06a10'), lit_border=rgb('#fff0d8'),
    lit_text=rgb('#1c0d00'), lit_glow=rgb('#ffb066', 1.0), lit_shadow=rgb('#ffd9a8', 0.7),
    accent=rgb('#ff7a1a'), accent2=rgb('#3fd0ff'),
    title_family=SANS, title_fill=(rgb('#ffffff'), rgb('#c5ccd4'), rgb('#6d7781')),
    title_outline=rgb('#000000'), title_tracking=4.0, title_upper=True,
    label_family=MONO, tagline=N_('PRECISION  POWER  SPEED'),
)

SKINS = [CLASSIC, FOR_HER, FOR_HIM]
