declare c integer; n integer; v varchar2(30); type nt is table of number; t nt := nt(1, 2);
begin
  c := dbms_sql.open_cursor; dbms_sql.parse(c, 'select ename from emp where deptno = :d', dbms_sql.native);
  dbms_sql.bind_variable(c, 'd', 10); dbms_sql.define_column(c, 1, v, 30); n := dbms_sql.execute(c);
  while dbms_sql.fetch_rows(c) > 0 loop dbms_sql.column_value(c, 1, v); end loop; dbms_sql.close_cursor(c);
  v := dbms_assert.enquote_name(v); insert into bonus values (substr(v, 1, 10), 'J', 1, 2);
end;
