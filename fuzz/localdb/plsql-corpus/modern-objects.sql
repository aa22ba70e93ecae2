declare
  p fz_point := fz_point(1, 'a');
  q fz_point := fz_point(y => 'b', x => 2);
  c fz_point := fz_point(7);
  n fz_point;
  l fz_points := fz_points(p, fz_point.origin);
  type rec is record (pt fz_point, k number);
  r rec;
  type aa is table of fz_point index by pls_integer;
  a aa;
  v p%type;
begin
  p.move(1); q.x := p.len();
  l.extend; l(3) := fz_point(3); r.pt := l(3); a(1) := c;
  if n is null and p < q and not (c = p) and l(1).m >= a(1).len then
    v := r.pt;
  end if;
  n.x := 1;
exception
  when access_into_null or self_is_null then null;
end;
